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

bool writeAll(TNewFile& file, const QByteArray& data)
{
    qint64 written = 0;
    while (written < data.size()) {
        qint64 chunk = data.size() - written;
        if (gFault.stage == FileWriteFault::Write) {
            if (written >= gFault.offset)
                return false; // as a full disk stops it
            chunk = std::min(chunk, gFault.offset - written);
        }
        const qint64 n = file.write(data.constData() + written, chunk);
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

bool ReplaceFileContents(const QString& path, const QByteArray& data)
{
    const QFileInfo info(path);
    const QString target = info.isSymLink() && !info.canonicalFilePath().isEmpty() ? info.canonicalFilePath() : path;
    QString temporary;
    std::unique_ptr<TNewFile> file = createTemporary(target, temporary);
    if (!file || !file->isOpen())
        return false;
    file->copyPermissionsFrom(target);
    const bool ok = writeAll(*file, data) && finish(*file) && renameOver(temporary, target);
    file.reset();
    if (!ok) {
        RemoveFile(temporary);
        return false;
    }
    SyncFolderOf(target);
    return true;
}

void SetFileWriteFault(const FileWriteFault& fault)
{
    gFault = fault;
}
