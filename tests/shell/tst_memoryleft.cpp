// The memory check before each window of a session is restored: under a
// limit of the process's own (an address space or data limit, as ulimit -v
// sets), what it says is left can be allocated, and little more can; the
// system's free memory alone would promise gigabytes the process cannot
// have. Each case runs in a child process with the limit set.
#include "shell/memoryleft.h"

#include "tests/addressspacelimit.h"

#include <QtTest>

#include <cstdlib>
#include <sys/resource.h>

namespace {

// Whether `bytes` can be allocated now. A block this large is mapped on
// its own, and the limits are checked when it is mapped, so it need not be
// touched (the machine is shared).
bool canAllocate(qint64 bytes)
{
    if (bytes <= 0)
        return true;
    void *block = std::malloc(size_t(bytes));
    std::free(block);
    return block != nullptr;
}

constexpr qint64 MB = qint64(1) << 20;

} // namespace

class TestMemoryLeft : public QObject
{
    Q_OBJECT
private slots:
    void limitsOfTheProcess_data();
    void limitsOfTheProcess();
};

void TestMemoryLeft::limitsOfTheProcess_data()
{
    QTest::addColumn<int>("resource");
    QTest::addColumn<qint64>("limit");
    QTest::newRow("address space, 600 MB") << int(RLIMIT_AS) << 600 * MB;
    QTest::newRow("address space, 1.2 GB") << int(RLIMIT_AS) << 1200 * MB;
    QTest::newRow("data, 800 MB") << int(RLIMIT_DATA) << 800 * MB;
}

void TestMemoryLeft::limitsOfTheProcess()
{
    QFETCH(int, resource);
    QFETCH(qint64, limit);
    // The helper sets the address space; a data limit is set in the child.
    const qint64 space = resource == RLIMIT_AS ? limit : qint64(64) << 30;
    const int status = AddressSpaceLimit::run(space, [&]() {
        if (resource != RLIMIT_AS) {
            rlimit data{rlim_t(limit), rlim_t(limit)};
            if (::setrlimit(RLIMIT_DATA, &data) != 0)
                return 10;
        }
        const qint64 left = memoryLeft();
        if (left < 0 || left > limit)
            return 1; // more than the limit itself
        // What it says is there is there (a margin for the allocator's
        // own pieces), and not much more.
        if (left > 64 * MB && !canAllocate(left - 48 * MB))
            return 2;
        if (canAllocate(left + 96 * MB))
            return 3;
        return 0;
    });
    QCOMPARE(status, 0);
}

QTEST_MAIN(TestMemoryLeft)
#include "tst_memoryleft.moc"
