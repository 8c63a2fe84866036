// SPDX-License-Identifier: MIT
#pragma once
#include <QByteArray>
#include <QString>
#include <memory>

class TNewFile;

// The new contents of a file written in pieces, as ReplaceFileContents writes them whole: they go
// to a new file beside it, and only commit() gives that file the old one's name, once every
// write, the flush and the close have succeeded. A writer destroyed before commit() removes the
// new file and leaves the old one as it was. A failed write is remembered, so a caller may write
// on and look once, at commit().
class TSafeWriter {
public:
    explicit TSafeWriter(const QString& path);
    ~TSafeWriter();
    TSafeWriter(const TSafeWriter&) = delete;
    TSafeWriter& operator=(const TSafeWriter&) = delete;

    bool ok() const { return ok_; }
    void write(const char* data, qint64 size);
    void write(const QByteArray& data) { write(data.constData(), data.size()); }
    bool commit();

private:
    QString target_;
    QString temporary_;
    std::unique_ptr<TNewFile> file_;
    qint64 written_ = 0;
    bool created_ = false; // the temporary file is ours to remove
    bool ok_ = false;
    bool committed_ = false;
};

// Replaces the file at path with data as one step: the data goes to a new file beside it, every
// write, the flush to the disk and the close are checked, and only then does the new file take
// the old one's name. Returns false when any step fails, leaving a file of that name byte for
// byte as it was and no temporary file behind. A symbolic link is followed: its target is
// replaced. A replaced file keeps its permissions.
bool ReplaceFileContents(const QString& path, const QByteArray& data);

// A failure to simulate in the next calls of ReplaceFileContents, so that tests reach every
// failing step without a full disk: a write that stops at byte offset (as a full disk stops
// it), or a failing flush, close or rename.
struct FileWriteFault {
    enum Stage { None, Write, Sync, Close, Rename };
    Stage stage = None;
    qint64 offset = 0; // for Write: the bytes that still reach the disk
};
void SetFileWriteFault(const FileWriteFault& fault);
