// SPDX-License-Identifier: MIT
#include "shell/Startup.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>

#include "platform/Errors.h"
#include "platform/InterfaceFont.h"
#include "platform/RunSettings.h"
#include "shell/About.h"
#include "shell/Main.h"
#include "shell/UFileNewDlg.h"
#include "shell/UTailViewWin.h"
#include "tools/UAlphaDlg.h"
#include "tools/UColorPaletteDlg.h"
#include "tools/UToolDlg.h"

namespace {

void reportError(const QString& message)
{
    if (MainForm)
        MainForm->ShowCommandError(message);
}

template <typename T>
void destroy(T*& window)
{
    delete window;
    window = nullptr;
}

} // namespace

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const EMarloError& e) {
        reportError(e.message());
    } catch (const std::exception& e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void CreateMarloWindows()
{
    MainForm = new TMainForm;
    AboutBox = new TAboutBox(MainForm);
    ColorPaletteDlg = new TColorPaletteDlg(MainForm);
    FileNewDlg = new TFileNewDlg(MainForm);
    ToolDlg = new TToolDlg(MainForm);
    ToolDlg->BindActions(MainForm->ActChangeToolPen, MainForm->ActChangeToolMove, MainForm->ActChangeToolMask,
                         MainForm->ActToolOk);
    ToolDlg->OnChangeLoop = [] { MainForm->ChangeLoop(); };
    ToolDlg->OnChooseColor = [] { MainForm->ChooseColor(); };
    AlphaDlg = new TAlphaDlg(MainForm);
    // A normal window of its own, not a child drawn inside the frame.
    TailViewWin = new TTailViewWin(nullptr);
}

void DestroyMarloWindows()
{
    destroy(TailViewWin);
    destroy(AlphaDlg);
    destroy(ToolDlg);
    destroy(FileNewDlg);
    destroy(ColorPaletteDlg);
    destroy(AboutBox);
    destroy(MainForm);
}

bool InstallQtTranslation()
{
    auto* translator = new QTranslator(qApp);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

int RunMarlo(int argc, char* argv[])
{
    // Loop editing moves the pointer, which a Wayland client may not do: run on XWayland
    // unless the user chose a platform, and fall back to Wayland where there is no X server.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");

    TApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    // Lets the desktop match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.marlo_editor.marlo"));
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icons/marlo-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    InstallQtTranslation();

    UseJapaneseInterfaceFont();
    const TSettingsOfThisRun settingsOfThisRun;

    CreateMarloWindows();
    MainForm->show();
    const int rc = app.exec();
    DestroyMarloWindows();
    return rc;
}
