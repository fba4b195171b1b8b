// Loading speed of a result set: CAData::read() beside a bare from_chars scan
// of the same bytes and a QTextStream >> double loop, in one run.
//
//   bench_read [images] [words] [axes] [folder]
//
// Writes Z/W/P/Q/Lambda files of the given size into the folder (default: a
// temporary one), then times each reader over them. Peak memory of read() is
// reported from the process's high-water mark, taken before the other
// readers run.

#include "data/model/cadata.h"
#include "data/model/console.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <charconv>
#include <cstdio>
#include <random>

namespace {

qint64 writeMatrix(const QString &path, int rows, int cols, std::mt19937 &rng)
{
    std::normal_distribution<double> normal(0, 0.7);
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "w");
    std::fprintf(f, "%d %d\n", rows, cols);
    for (int i = 0; i < rows; ++i) {
        for (int a = 0; a < cols; ++a)
            std::fprintf(f, "%.10g ", normal(rng));
        std::fputc('\n', f);
    }
    const qint64 size = std::ftell(f);
    std::fclose(f);
    return size;
}

void writeVector(const QString &path, int n, double value)
{
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "w");
    std::fprintf(f, "%d\n", n);
    for (int i = 0; i < n; ++i)
        std::fprintf(f, "%.10g\n", value);
    std::fclose(f);
}

long peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

double scanFromChars(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    double sum = 0;
    QByteArray block;
    QByteArray carry;
    while (!(block = f.read(1 << 20)).isEmpty()) {
        block.prepend(carry);
        const char *p = block.constData();
        const char *end = p + block.size();
        // Keep the last partial token for the next block.
        const char *stop = end;
        while (stop > p && stop[-1] != ' ' && stop[-1] != '\n')
            --stop;
        while (p < stop) {
            while (p < stop && (*p == ' ' || *p == '\n'))
                ++p;
            if (p >= stop)
                break;
            double v;
            auto r = std::from_chars(p, stop, v);
            if (r.ec != std::errc())
                break;
            sum += v;
            p = r.ptr;
        }
        carry = QByteArray(stop, int(end - stop));
    }
    return sum;
}

double scanTextStream(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QTextStream in(&f);
    double sum = 0, v = 0;
    while (!in.atEnd()) {
        in >> v;
        if (in.status() != QTextStream::Ok)
            break;
        sum += v;
    }
    return sum;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int images = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int words = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int axes = argc > 3 ? std::atoi(argv[3]) : 20;
    QTemporaryDir temp;
    const QString folder = argc > 4 ? QString::fromLocal8Bit(argv[4]) : temp.path();

    std::mt19937 rng(7);
    std::printf("writing %d x %d and %d x %d ...\n", images, axes, words, axes);
    qint64 bytes = writeMatrix(folder + "/t_Z.txt", images, axes, rng);
    bytes += writeMatrix(folder + "/t_W.txt", words, axes, rng);
    writeVector(folder + "/t_P.txt", images, 1.0 / images);
    writeVector(folder + "/t_Q.txt", words, 1.0 / words);
    writeVector(folder + "/t_Lambda.txt", axes, 0.1);
    const double mb = bytes / 1e6;
    const long before = peakKiB();

    QElapsedTimer timer;
    double readSeconds;
    {
        Console::Capture quiet;
        CAData d(true);
        d.baseDir = folder;
        d.fileZ = "t_Z.txt";
        d.fileW = "t_W.txt";
        d.fileP = "t_P.txt";
        d.fileQ = "t_Q.txt";
        d.fileLambda = "t_Lambda.txt";
        d.fileLabel = "none.txt";
        timer.start();
        if (!d.read()) {
            std::fprintf(stderr, "read() failed\n");
            return 1;
        }
        readSeconds = timer.nsecsElapsed() / 1e9;
    }
    const long peak = peakKiB();
    const double arraysMB = (double(images) * (axes + 1) + double(words) * (axes + 1)) * 8 / 1e6;

    timer.start();
    volatile double s1 = scanFromChars(folder + "/t_Z.txt") + scanFromChars(folder + "/t_W.txt");
    const double fromCharsSeconds = timer.nsecsElapsed() / 1e9;
    timer.start();
    volatile double s2 = scanTextStream(folder + "/t_Z.txt") + scanTextStream(folder + "/t_W.txt");
    const double streamSeconds = timer.nsecsElapsed() / 1e9;
    (void)s1;
    (void)s2;

    std::printf("text of Z and W: %.1f MB\n", mb);
    std::printf("CAData::read()          %7.3f s  %7.1f MB/s\n", readSeconds, mb / readSeconds);
    std::printf("bare from_chars scan    %7.3f s  %7.1f MB/s\n", fromCharsSeconds, mb / fromCharsSeconds);
    std::printf("QTextStream >> double   %7.3f s  %7.1f MB/s\n", streamSeconds, mb / streamSeconds);
    std::printf("read() / from_chars time: %.2f; QTextStream / read() time: %.1f\n",
                readSeconds / fromCharsSeconds, streamSeconds / readSeconds);
    std::printf("peak memory during read(): %.1f MB over %.1f MB before; arrays %.1f MB\n",
                (peak - before) / 1024.0, before / 1024.0, arraysMB);
    return 0;
}
