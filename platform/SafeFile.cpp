// SPDX-License-Identifier: MIT
// Saving without ever losing the old file. QSaveFile is not used: in Qt 6.4 a write that fails
// only when QFile's buffer is flushed (ENOSPC on a small file) goes unnoticed by commit(), which
// then renames the empty temporary file over the old one.
#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileWriteFault gFault;

// A descriptor that is closed on every way out, unless its close was checked already.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        const bool ok = ::close(fd) == 0;
        return ok && gFault.stage != FileWriteFault::Close;
    }

private:
    int fd_;
};

// A new file beside the target, under a name no other file has. Made with mode 0666 so that the
// user's umask applies, as it does to any new file.
int createTemporary(const QString& target, QByteArray& name)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                 QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0')));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool writeAll(int fd, const QByteArray& data)
{
    qint64 written = 0;
    while (written < data.size()) {
        qint64 chunk = data.size() - written;
        if (gFault.stage == FileWriteFault::Write) {
            if (written >= gFault.offset) {
                errno = ENOSPC;
                return false;
            }
            chunk = std::min(chunk, gFault.offset - written);
        }
        const ssize_t n = ::write(fd, data.constData() + written, size_t(chunk));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

bool syncFile(int fd)
{
    return ::fsync(fd) == 0 && gFault.stage != FileWriteFault::Sync;
}

bool renameOver(const QByteArray& from, const QString& to)
{
    return gFault.stage != FileWriteFault::Rename && ::rename(from.constData(), QFile::encodeName(to).constData()) == 0;
}

// Makes the rename itself last through a power failure. The new file is in place by now, so a
// failure here is not reported: the old file is gone either way.
void syncFolder(const QString& target)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool ReplaceFileContents(const QString& path, const QByteArray& data)
{
    const QFileInfo info(path);
    const QString target = info.isSymLink() && !info.canonicalFilePath().isEmpty() ? info.canonicalFilePath() : path;
    QByteArray temporary;
    Descriptor fd(createTemporary(target, temporary));
    if (fd.get() < 0)
        return false;
    struct stat old;
    if (::stat(QFile::encodeName(target).constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd.get(), old.st_mode & 07777);
    const bool ok = writeAll(fd.get(), data) && syncFile(fd.get()) && fd.close() && renameOver(temporary, target);
    if (!ok) {
        ::unlink(temporary.constData());
        return false;
    }
    syncFolder(target);
    return true;
}

void SetFileWriteFault(const FileWriteFault& fault)
{
    gFault = fault;
}
