// SPDX-License-Identifier: MIT
// Saving without ever losing the old file. QSaveFile is not used: in Qt 6.4 a write that fails
// only when QFile's buffer is flushed (ENOSPC on a small file) goes unnoticed by commit(), which
// then renames the empty temporary file over the old one.
#include "pictures/SafeFile.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <memory>

#include "pictures/SystemFile.h"

namespace {

FileWriteFault gFault;

// A new file beside the target, under a name no other file has.
std::unique_ptr<TNewFile> createTemporary(const QString& target, QString& name)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
               QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
        auto file = std::make_unique<TNewFile>(name);
        if (file->isOpen() || !file->nameTaken())
            return file;
    }
    return nullptr;
}

// Writes data whole from byte offset at of the file; false when the disk takes less.
bool writeAll(TNewFile& file, const char* data, qint64 size, qint64 at)
{
    qint64 written = 0;
    while (written < size) {
        qint64 chunk = size - written;
        if (gFault.stage == FileWriteFault::Write) {
            if (at + written >= gFault.offset)
                return false; // as a full disk stops it
            chunk = std::min(chunk, gFault.offset - at - written);
        }
        const qint64 n = file.write(data + written, chunk);
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

bool finish(TNewFile& file)
{
    const bool flushed = file.flush() && gFault.stage != FileWriteFault::Sync;
    const bool closed = file.close() && gFault.stage != FileWriteFault::Close;
    return flushed && closed;
}

bool renameOver(const QString& from, const QString& to)
{
    return gFault.stage != FileWriteFault::Rename && RenameOver(from, to);
}

} // namespace

TSafeWriter::TSafeWriter(const QString& path)
{
    const QFileInfo info(path);
    target_ = info.isSymLink() && !info.canonicalFilePath().isEmpty() ? info.canonicalFilePath() : path;
    file_ = createTemporary(target_, temporary_);
    created_ = ok_ = file_ && file_->isOpen();
    if (ok_)
        file_->copyPermissionsFrom(target_);
}

TSafeWriter::~TSafeWriter()
{
    if (!created_ || committed_)
        return;
    file_.reset();
    RemoveFile(temporary_);
}

void TSafeWriter::write(const char* data, qint64 size)
{
    if (!ok_)
        return;
    ok_ = writeAll(*file_, data, size, written_);
    written_ += size;
}

bool TSafeWriter::commit()
{
    ok_ = ok_ && finish(*file_) && renameOver(temporary_, target_);
    if (!ok_)
        return false;
    committed_ = true;
    file_.reset();
    SyncFolderOf(target_);
    return true;
}

bool ReplaceFileContents(const QString& path, const QByteArray& data)
{
    TSafeWriter writer(path);
    writer.write(data);
    return writer.commit();
}

void SetFileWriteFault(const FileWriteFault& fault)
{
    gFault = fault;
}
