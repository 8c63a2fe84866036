// SPDX-License-Identifier: MIT
#include "pictures/SystemFile.h"

#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray nameOf(const QString& path) { return QFile::encodeName(path); }

} // namespace

bool OpenRegularFile(const QString& path, QFile& file)
{
    // Asked before opening, since opening a named pipe waits for a writer and opening a device can
    // act on it; asked again of the descriptor, opened without waiting, in case the path changed.
    struct stat st;
    if (::stat(nameOf(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = ::open(nameOf(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

// Mode 0666, so that the user's umask applies as it does to any new file.
TNewFile::TNewFile(const QString& path)
{
    const int fd = ::open(nameOf(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    nameTaken_ = fd < 0 && errno == EEXIST;
    handle_ = fd;
}

TNewFile::~TNewFile()
{
    if (handle_ >= 0)
        ::close(int(handle_));
}

bool TNewFile::isOpen() const { return handle_ >= 0; }

qint64 TNewFile::write(const char* data, qint64 size)
{
    for (;;) {
        const ssize_t n = ::write(int(handle_), data, size_t(size));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool TNewFile::flush() { return ::fsync(int(handle_)) == 0; }

bool TNewFile::close()
{
    const int fd = int(handle_);
    handle_ = -1;
    return ::close(fd) == 0;
}

void TNewFile::copyPermissionsFrom(const QString& existing)
{
    struct stat old;
    if (::stat(nameOf(existing).constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(int(handle_), old.st_mode & 07777);
}

bool RenameOver(const QString& from, const QString& to)
{
    return ::rename(nameOf(from).constData(), nameOf(to).constData()) == 0;
}

// The new file is in place by now, so a failure here is not reported: the old file is gone
// either way.
void SyncFolderOf(const QString& path)
{
    const int fd = ::open(nameOf(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void RemoveFile(const QString& path) { ::unlink(nameOf(path).constData()); }
