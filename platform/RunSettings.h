// SPDX-License-Identifier: MIT
#pragma once
#include <QString>
#include <memory>

class QFileDialog;
class QTemporaryDir;
class QWidget;

// Nothing is kept between runs but the files the user saves, yet Qt's own file dialog reads and
// records its folder, history and layout in the user's settings.

// While it lives, Qt's settings go to a folder of this run, which goes away with it; the folders
// that killed runs of the same user left behind are removed as it starts. Windows keeps Qt's
// settings in the registry, which no setting can redirect: there NewFileDialog and
// DisposeFileDialog keep the file dialogs from writing instead.
class TSettingsOfThisRun {
public:
    TSettingsOfThisRun();
    ~TSettingsOfThisRun();

private:
    std::unique_ptr<QTemporaryDir> folder_;
};

// A file dialog of Qt's own, not the system's (DontUseNativeDialog). On Windows, making it opens Qt's settings key for
// writing, which creates it empty where no Qt program has made it before: such a key is removed
// again at once.
QFileDialog* NewFileDialog(QWidget* parent, const QString& caption = QString());

// Ends a file dialog without letting Qt record its settings anywhere that outlives the run. On
// Windows the dialog is hidden and kept, unparented, until the process ends: destroying it would
// write to the registry.
void DisposeFileDialog(QFileDialog* dialog);
