// SPDX-License-Identifier: MIT
#include "shell/Startup.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>

#include "document/Childwin.h"
#include "pictures/Errors.h"
#include "platform/InterfaceFont.h"
#include "platform/MessageBoxes.h"
#include "platform/RunSettings.h"
#include "platform/SingleInstance.h"
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

QString helpText()
{
    return QStringLiteral(
        "Usage: marlo [OPTION]... [FILE]...\n"
        "Paint chips: small tiles of at most 256 by 256 pixels.\n"
        "\n"
        "Each FILE, a BMP or PNG picture, opens as a chip. When Marlo already runs in this\n"
        "desktop session, the files open in its window.\n"
        "\n"
        "      --block WxH+X+Y FILE  open the block of FILE W by H pixels whose top-left\n"
        "                            pixel is (X, Y); Ctrl+S writes it back there\n"
        "  -h, --help     show this help and end\n"
        "      --version  show the version and end\n"
        "  --             take every argument after it as a FILE\n"
        "\n"
        "Qt's own options, such as -platform, -style and -display, work as in every Qt program.\n");
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

namespace {

TCommandLine wrongUse(const QString& problem)
{
    TCommandLine ending;
    ending.ExitCode = 2;
    ending.Errors = QStringLiteral("marlo: %1\nTry 'marlo --help' for more information.\n").arg(problem);
    return ending;
}

} // namespace

TCommandLine ParseCommandLine(const QStringList& Arguments, const QString& WorkingDir)
{
    TCommandLine line;
    const QDir here(WorkingDir);
    bool options = true;
    // --block's geometry, waiting for the file it applies to.
    std::optional<TRect> block;
    for (qsizetype i = 1; i < Arguments.size(); ++i) {
        const QString& argument = Arguments[i];
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options && argument == QLatin1String("--block")) {
            if (block || i + 2 >= Arguments.size())
                return wrongUse(QStringLiteral("--block needs a geometry WxH+X+Y and a FILE"));
            block = ParseBlockGeometry(Arguments[++i]);
            if (!block)
                return wrongUse(QStringLiteral("'%1' is not a block geometry WxH+X+Y").arg(Arguments[i]));
            if (block->width() > kMaxChipSide || block->height() > kMaxChipSide)
                return wrongUse(QStringLiteral("block %1 is larger than a chip (%2x%2)").arg(Arguments[i]).arg(kMaxChipSide));
            line.Files << BlockRequest(*block);
        } else if (options && argument.size() > 1 && argument.startsWith(u'-')) {
            if (argument != QLatin1String("--version") && argument != QLatin1String("-h") &&
                argument != QLatin1String("--help"))
                return wrongUse(QStringLiteral("unknown option '%1'").arg(argument));
            TCommandLine ending;
            ending.ExitCode = 0;
            ending.Output = argument == QLatin1String("--version") ? QStringLiteral("Marlo " MARLO_VERSION "\n") : helpText();
            return ending;
        } else if (!argument.isEmpty()) {
            // Captions show the path as the system writes it, as the open command's do.
            const QString path = here.absoluteFilePath(QDir::fromNativeSeparators(argument));
            line.Files << QDir::toNativeSeparators(QDir::cleanPath(path));
            block.reset();
        }
    }
    if (block)
        return wrongUse(QStringLiteral("--block needs a geometry WxH+X+Y and a FILE"));
    return line;
}

int RunMarlo(int argc, char* argv[])
{
    // Loop editing moves the pointer, which a Wayland client may not do: run on XWayland
    // unless the user chose a platform, and fall back to Wayland where there is no X server.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");

    const QByteArray startupToken = ReadStartupToken(argc, argv);
    TApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    // Lets the desktop match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.marlo_editor.marlo"));
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icons/marlo-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    const TCommandLine commandLine = ParseCommandLine(QCoreApplication::arguments(), QDir::currentPath());
    if (commandLine.ExitCode) {
        const bool failed = *commandLine.ExitCode != 0;
        ShowStartText(QStringLiteral("Marlo"), failed ? commandLine.Errors : commandLine.Output, failed);
        return *commandLine.ExitCode;
    }
    // One Marlo a desktop session: files go to the one already running, which comes to the front.
    const QString instance = InstanceName();
    if (!commandLine.Files.isEmpty() && HandFilesOver(instance, commandLine.Files, startupToken))
        return 0;
    InstallQtTranslation();

    UseJapaneseInterfaceFont();
    const TSettingsOfThisRun settingsOfThisRun;

    CreateMarloWindows();
    MainForm->show();
    int rc = 0;
    {
        TInstanceServer server;
        server.OnFilesHandedOver = [](const QStringList& Files, const QByteArray& Token) {
            // In front first: a notice about a file must not open behind other windows.
            BringToFront(MainForm, Token);
            MainForm->OpenFiles(Files);
        };
        server.Listen(instance);
        // Once the main window is on the screen, where a notice about a file shows above it.
        QMetaObject::invokeMethod(MainForm, [&commandLine] { MainForm->OpenFiles(commandLine.Files); }, Qt::QueuedConnection);
        rc = app.exec();
    }
    DestroyMarloWindows();
    return rc;
}
