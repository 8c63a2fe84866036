// SPDX-License-Identifier: MIT
#include "pictures/SystemFile.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

std::wstring nativeName(const QString& path) { return QDir::toNativeSeparators(path).toStdWString(); }

HANDLE handleOf(qintptr h) { return reinterpret_cast<HANDLE>(h); }

} // namespace

bool OpenRegularFile(const QString& path, QFile& file)
{
    // Opening a pipe or a console does not wait; reading it would. Only a file on a disk is read,
    // and a folder cannot be opened this way at all.
    HANDLE h = ::CreateFileW(nativeName(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(h);
        return false;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(h);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::_close(fd);
        return false;
    }
    return true;
}

TNewFile::TNewFile(const QString& path)
{
    HANDLE h = ::CreateFileW(nativeName(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    nameTaken_ = h == INVALID_HANDLE_VALUE && (::GetLastError() == ERROR_FILE_EXISTS || ::GetLastError() == ERROR_ALREADY_EXISTS);
    handle_ = h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<qintptr>(h);
}

TNewFile::~TNewFile()
{
    if (handle_ != -1)
        ::CloseHandle(handleOf(handle_));
}

bool TNewFile::isOpen() const { return handle_ != -1; }

qint64 TNewFile::write(const char* data, qint64 size)
{
    DWORD written = 0;
    const DWORD chunk = DWORD(std::min<qint64>(size, 1 << 30));
    if (!::WriteFile(handleOf(handle_), data, chunk, &written, nullptr))
        return -1;
    return written;
}

bool TNewFile::flush() { return ::FlushFileBuffers(handleOf(handle_)) != 0; }

bool TNewFile::close()
{
    HANDLE h = handleOf(handle_);
    handle_ = -1;
    return ::CloseHandle(h) != 0;
}

// A new file takes the access rights its folder gives, as every file made in it does; a read-only
// old file is not replaced at all (the rename refuses), so there is nothing to carry over.
void TNewFile::copyPermissionsFrom(const QString&) {}

bool RenameOver(const QString& from, const QString& to)
{
    // Windows refuses to replace a read-only file; Wine does not always, so it is asked here.
    const DWORD attributes = ::GetFileAttributesW(nativeName(to).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    return ::MoveFileExW(nativeName(from).c_str(), nativeName(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// MOVEFILE_WRITE_THROUGH has made the rename itself last.
void SyncFolderOf(const QString&) {}

void RemoveFile(const QString& path) { ::DeleteFileW(nativeName(path).c_str()); }
