#include "preflight.h"

#include <QFile>

#include <cerrno>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

PortAccess portAccess(const QString &devicePath)
{
    const QByteArray path = QFile::encodeName(devicePath);
    if (::access(path.constData(), R_OK | W_OK) == 0)
        return {};
    // Only a refusal by the device's permissions is certain here: whether
    // it is there the port list tells, and the rest the programmer.
    const int error = errno;
    if (error != EACCES && error != EPERM && error != EROFS)
        return {};
    PortAccess access;
    access.denied = true;
    access.error = qt_error_string(error);
    struct stat info;
    if (::stat(path.constData(), &info) != 0)
        return access;
    const mode_t groupReadWrite = S_IRGRP | S_IWGRP;
    access.groupMayUse = (info.st_mode & groupReadWrite) == groupReadWrite;
    // A QByteArray grows in Qt's code; a vector would grow here, through
    // memset and memmove calls of sizes fortification cannot check.
    QByteArray buffer(4096, Qt::Uninitialized);
    struct group entry;
    struct group *found = nullptr;
    while (::getgrgid_r(info.st_gid, &entry, buffer.data(), size_t(buffer.size()), &found)
            == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (found)
        access.group = QString::fromLocal8Bit(found->gr_name);
    return access;
}
