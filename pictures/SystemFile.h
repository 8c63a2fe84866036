// SPDX-License-Identifier: MIT
#pragma once
#include <QFile>
#include <QString>

// The few file operations that saving and reading need and that Qt does not offer with the
// guarantees they need, one implementation a system (SystemFilePosix.cpp, SystemFileWindows.cpp).

// Opens path for reading only when it names a regular file. A named pipe, a device or a folder is
// refused without being waited on (opening a pipe waits for a writer; reading a console waits for
// the user). False leaves file closed.
bool OpenRegularFile(const QString& path, QFile& file);

// A file made by the program itself, written without buffering so that every failed write is seen.
class TNewFile {
public:
    // Creates path; fails when a file of that name exists already.
    explicit TNewFile(const QString& path);
    ~TNewFile(); // closes the file unless close() did
    TNewFile(const TNewFile&) = delete;
    TNewFile& operator=(const TNewFile&) = delete;

    bool isOpen() const;
    // False when a file of that name was there already, so another name should be tried.
    bool nameTaken() const { return nameTaken_; }
    // Writes up to size bytes; the count written, or -1 on an error.
    qint64 write(const char* data, qint64 size);
    // Waits until the data is on the disk.
    bool flush();
    bool close();
    // Gives the file the access rights of an existing file, so a replaced file keeps them.
    void copyPermissionsFrom(const QString& existing);

private:
    qintptr handle_ = -1;
    bool nameTaken_ = false;
};

// Gives the file at from the name to, replacing a file of that name in one step.
bool RenameOver(const QString& from, const QString& to);
// Makes a rename in the folder of path last through a power failure, where the system needs a
// step of its own for it.
void SyncFolderOf(const QString& path);
void RemoveFile(const QString& path);
