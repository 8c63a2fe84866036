// SPDX-License-Identifier: MIT
#include "platform/RunSettings.h"

#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>

#ifdef Q_OS_WIN
#include <windows.h>
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
#endif

} // namespace

TSettingsOfThisRun::TSettingsOfThisRun()
{
#ifndef Q_OS_WIN
    folder_ = std::make_unique<QTemporaryDir>();
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
#ifdef Q_OS_WIN
    // Deliberately never deleted: the process's end frees it without running its destructor.
    dialog->hide();
    dialog->setParent(nullptr);
#else
    delete dialog;
#endif
}
