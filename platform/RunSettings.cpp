// SPDX-License-Identifier: MIT
#include "platform/RunSettings.h"

#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <optional>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
const wchar_t kQtKey[] = L"Software\\QtProject";
const wchar_t kQtDefaultsKey[] = L"Software\\QtProject\\OrganizationDefaults";

bool userKeyExists(const wchar_t* path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

// Removes a key of the user's only when it holds nothing, so that nothing another program wrote
// in the meantime is lost.
void removeEmptyUserKey(const wchar_t* path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 1, values = 1;
    const bool empty = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                          nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                       subkeys == 0 && values == 0;
    ::RegCloseKey(key);
    if (empty)
        ::RegDeleteKeyW(HKEY_CURRENT_USER, path);
}
#else
// The folders of runs are named after their process, so that a run that was killed, and never
// removed its folder, can be told from one that is still going.
const QString kRunFolderPrefix = QStringLiteral("marlo-run-");

bool processRuns(qint64 pid)
{
    return pid > 0 && pid <= qint64(INT_MAX) && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// The process a run's folder is named after ("marlo-run-PID-XXXXXX", as QTemporaryDir completes
// it); none for any other name. Read by hand: a regular expression would cost every start its engine.
std::optional<qint64> runOfFolder(const QString& name)
{
    if (!name.startsWith(kRunFolderPrefix))
        return std::nullopt;
    const QStringView rest = QStringView(name).mid(kRunFolderPrefix.size());
    const qsizetype dash = rest.indexOf(u'-');
    const QStringView pid = rest.left(dash), suffix = rest.mid(dash + 1);
    const auto word = [](QChar c) { return c.unicode() < 128 && (c.isLetterOrNumber() || c == u'_'); };
    const auto digit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    if (dash <= 0 || suffix.isEmpty() || !std::all_of(pid.begin(), pid.end(), digit) ||
        !std::all_of(suffix.begin(), suffix.end(), word))
        return std::nullopt;
    return pid.toLongLong();
}

// Removes the folders that killed runs of this user left in the temporary folder.
void removeFoldersOfKilledRuns()
{
    const QDir temp(QDir::tempPath());
    for (const QFileInfo& folder : temp.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const std::optional<qint64> pid = runOfFolder(folder.fileName());
        if (!pid || folder.isSymLink() || folder.ownerId() != ::getuid() || processRuns(*pid))
            continue;
        QDir(folder.filePath()).removeRecursively();
    }
}
#endif

} // namespace

TSettingsOfThisRun::TSettingsOfThisRun()
{
#ifndef Q_OS_WIN
    removeFoldersOfKilledRuns();
    folder_ = std::make_unique<QTemporaryDir>(
        QDir(QDir::tempPath()).filePath(kRunFolderPrefix + QString::number(::getpid()) + QStringLiteral("-XXXXXX")));
    if (folder_->isValid())
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_->path());
#endif
}

TSettingsOfThisRun::~TSettingsOfThisRun() = default;

QFileDialog* NewFileDialog(QWidget* parent, const QString& caption)
{
#ifdef Q_OS_WIN
    const bool hadQtKey = userKeyExists(kQtKey);
#endif
    auto* dialog = new QFileDialog(parent, caption);
    // The dialog reads its settings again as it builds its own widgets instead of the system's.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
#ifdef Q_OS_WIN
    if (!hadQtKey) {
        removeEmptyUserKey(kQtDefaultsKey);
        removeEmptyUserKey(kQtKey);
    }
#endif
    return dialog;
}

void DisposeFileDialog(QFileDialog* dialog)
{
    if (!dialog)
        return;
#ifdef Q_OS_WIN
    // Deliberately never deleted: the process's end frees it without running its destructor.
    dialog->hide();
    dialog->setParent(nullptr);
#else
    delete dialog;
#endif
}
