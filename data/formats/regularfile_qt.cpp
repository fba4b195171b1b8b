#include "data/formats/regularfile.h"

#include <QFile>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile {

bool open(QFile &file, QString *why)
{
    std::string reason;
    const int fd = open(QFile::encodeName(file.fileName()).toStdString(), reason);
    if (fd < 0) {
        if (why)
            *why = QString::fromLocal8Bit(reason.c_str());
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
}

QString kindOf(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return QString();
    return QString::fromLatin1(kindOfMode(st.st_mode));
}

bool isRegular(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace RegularFile
