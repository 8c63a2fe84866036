// SPDX-License-Identifier: MIT
#pragma once
#include <QByteArray>
#include <QString>

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
