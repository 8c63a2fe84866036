// SPDX-License-Identifier: MIT
// Loop editing on the desktops people use, driven as a person drives them: the built program on
// plain X11, on Xwayland in weston sessions that run inside this test's X server, and on Wayland
// alone. Keys and pointer go through the outer X server, so under weston every event takes the
// compositor's road. Loop strokes across each edge at zoom 8 are saved on each desktop: Xwayland
// must save plain X11's pixels; Wayland, where a program cannot carry the pointer over, the
// wrapped pixels of each stroke and nothing painted across a jump.
//
// A weston nested in an X server stops following the outer pointer once a pointer lock has ended,
// until the pointer has left its window and come back, and weston 14 passes the first press after
// that on to no Xwayland client. So a weston session carries one loop stroke: each edge has a
// session of its own, which also shows whatever a session settles once for all (how its windows
// were mapped, which one the compositor activated and gave the keyboard) as a failed row of its own.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>
#include <sys/prctl.h>

#include "PenTestHelpers.h"
#include "X11Windows.h"
#include "pictures/BmpFile.h"

using namespace pen;

namespace {

// Weston drops keys that come too fast: every key of a combination goes down and up on its own.
constexpr int kKeyPause = 60;
// No one can see when a motion has crossed the compositor and reached the program; a short pause
// keeps consecutive motions apart, so that neither is merged into the next.
constexpr int kMotionPause = 60;
// Nor, where there is no X server to ask, when a new window has the keyboard: it takes it a moment
// after it is drawn.
constexpr int kFocusPause = 500;

bool pressKeys(const QStringList& combinations)
{
    for (const QString& combination : combinations) {
        const QStringList keys = combination.split(u'+');
        for (const QString& key : keys) {
            if (!Xdotool({QStringLiteral("keydown"), key}))
                return false;
            QTest::qWait(kKeyPause);
        }
        for (auto key = keys.crbegin(); key != keys.crend(); ++key) {
            if (!Xdotool({QStringLiteral("keyup"), *key}))
                return false;
            QTest::qWait(kKeyPause);
        }
    }
    return true;
}

bool moveTo(QPoint p)
{
    const bool ok = Xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
    QTest::qWait(kMotionPause);
    return ok;
}

bool moveBy(QPoint d)
{
    const bool ok = Xdotool({QStringLiteral("mousemove_relative"), QStringLiteral("--"), QString::number(d.x()),
                             QString::number(d.y())});
    QTest::qWait(kMotionPause);
    return ok;
}

// Where the X server of display puts the pointer.
QPoint pointerOn(const QString& display)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), {QStringLiteral("getmouselocation"), QStringLiteral("--shell")});
    p.waitForFinished(10000);
    QPoint at;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.startsWith("X="))
            at.setX(line.mid(2).toInt());
        else if (line.startsWith("Y="))
            at.setY(line.mid(2).toInt());
    }
    return at;
}

// Waits until a good part of the screen differs from before: a window has come up. Every 16th
// pixel is compared, so minimum is in sixteenths of the window's area.
bool waitForNewWindow(const QImage& before, int timeout, int minimum = 1000)
{
    return QTest::qWaitFor(
        [&] {
            const QImage now = GrabScreen();
            int changed = 0;
            for (int y = 0; y < now.height(); y += 4)
                for (int x = 0; x < now.width(); x += 4)
                    changed += now.pixel(x, y) != before.pixel(x, y);
            return changed > minimum;
        },
        timeout);
}

// The geometry of the outer X server's window whose class instance matches, from xwininfo, once
// it is on the screen.
QRect windowGeometry(const QString& classname)
{
    QString id;
    if (!Xdotool({QStringLiteral("search"), QStringLiteral("--classname"), classname}, &id) || id.isEmpty())
        return QRect();
    QProcess p;
    p.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id.split(u'\n').first()});
    p.waitForFinished(10000);
    const QString info = QString::fromLatin1(p.readAllStandardOutput());
    if (!info.contains(QLatin1String("IsViewable")))
        return QRect(); // not mapped yet
    const auto field = [&info](const char* name) {
        const qsizetype at = info.indexOf(QLatin1String(name));
        return at < 0 ? 0 : info.mid(at + qstrlen(name)).section(u'\n', 0, 0).trimmed().toInt();
    };
    return QRect(field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"), field("Height:"));
}

// Weston with its X11 backend and Xwayland, in a runtime folder of its own. It ends with this
// process, even when a failed check leaves no chance to stop it.
class WestonSession {
public:
    ~WestonSession()
    {
        if (weston_.state() != QProcess::NotRunning) {
            weston_.terminate();
            weston_.waitForFinished(10000);
        }
    }

    QString start()
    {
        if (!runtime_.isValid())
            return QStringLiteral("no runtime folder");
        // A session's socket may outlive it for a moment: each has a name of its own.
        static int sessions = 0;
        socket_ = QStringLiteral("marlo-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++sessions);
        const QString log = runtime_.filePath(QStringLiteral("weston.log"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        weston_.setProcessEnvironment(env);
        weston_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        // Pixman draws on the CPU as it goes. The GL renderer would run on llvmpipe, which compiles
        // its shaders with LLVM on first use: with a cold shader cache (a new user, a fresh system)
        // on a loaded machine, the first session's first menu took longer than any wait.
        weston_.start(QStringLiteral("weston"),
                      {QStringLiteral("--backend=x11-backend.so"), QStringLiteral("--use-pixman"), QStringLiteral("--xwayland"),
                       QStringLiteral("--socket=") + socket_, QStringLiteral("--idle-time=0"),
                       QStringLiteral("--width=900"), QStringLiteral("--height=700"), QStringLiteral("--log=") + log});
        if (!weston_.waitForStarted())
            return QStringLiteral("weston did not start");
        // "xserver listening on display :N" names Xwayland's display; Xwayland itself starts with
        // its first client.
        const bool listening = QTest::qWaitFor(
            [&] {
                QFile file(log);
                if (!file.open(QIODevice::ReadOnly))
                    return false;
                const QByteArray text = file.readAll();
                const qsizetype at = text.indexOf("xserver listening on display ");
                if (at < 0)
                    return false;
                xDisplay_ = QString::fromLatin1(text.mid(at + 29).split('\n').first().trimmed());
                return true;
            },
            30000);
        if (!listening)
            return QStringLiteral("weston did not start Xwayland");
        if (!QTest::qWaitFor([&] { return !(output_ = windowGeometry(QStringLiteral("weston"))).isEmpty(); }, 30000))
            return QStringLiteral("weston's window did not appear");
        return QString();
    }

    QString xDisplay() const { return xDisplay_; }
    QString socket() const { return socket_; }
    QString runtimeDir() const { return runtime_.path(); }
    QRect output() const { return output_; }

private:
    QTemporaryDir runtime_;
    QProcess weston_;
    QString socket_;
    QString xDisplay_;
    QRect output_;
};

enum class Desktop { X11, Xwayland, Wayland };

// One loop stroke: a press at a view point, then relative motions. Relative, because while
// Xwayland locks the pointer the compositor passes on only how far it moved.
struct Stroke {
    QPoint press;
    QList<QPoint> moves;
    int crossing; // the index of the move that leaves the view
};

// Chip 16 by 16 at zoom 8: a view of 128 by 128 pixels.
const QList<Stroke> kStrokes = {
    {{100, 40}, {{20, 0}, {15, 0}, {0, 10}}, 1},   // across the right edge
    {{30, 80}, {{-20, 0}, {-15, 0}, {0, 10}}, 1},  // the left edge
    {{60, 100}, {{0, 20}, {0, 15}, {10, 0}}, 1},   // the bottom edge
    {{90, 30}, {{0, -20}, {0, -15}, {10, 0}}, 1},  // the top edge
};

} // namespace

class X11WaylandSessions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void loopStrokes_data();
    void loopStrokes();

private:
    bool startMarlo(Desktop desktop);
    QString prepareChip();
    int shownZoom();
    void enterWeston();
    void park();
    QRect waitForView(int width, int timeout);
    bool waitForKeyboard(const QString& dialog, int attempt = 0);
    bool stroke(const Stroke& s, Desktop desktop);
    QString save();

    std::unique_ptr<WestonSession> weston; // the row's own, none on plain X11
    QTemporaryDir dir;
    QProcess marlo;
    QString marloDisplay;
    QRect view; // on the outer screen
};

void X11WaylandSessions::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server");
    if (qEnvironmentVariableIsEmpty("MARLO_BINARY"))
        QSKIP("MARLO_BINARY is not set");
    for (const char* tool : {"xdotool", "xwininfo", "weston", "Xwayland"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool))));
    QVERIFY(dir.isValid());
}

void X11WaylandSessions::cleanup()
{
    Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    if (marlo.state() != QProcess::NotRunning) {
        marlo.kill();
        marlo.waitForFinished(10000);
    }
    weston.reset();
}

void X11WaylandSessions::loopStrokes_data()
{
    QTest::addColumn<int>("desktop");
    QTest::addColumn<QList<int>>("strokes"); // of kStrokes
    QTest::addColumn<QString>("pixels");

    // Right edge: (12,5) to (15,5) in place, then from x 7 carried over: (0,5). Left edge: (3,10)
    // to (1,10), carried to x 123: (15,10). Bottom: (7,12) to (7,15), carried to y 7: (7,0). Top:
    // (11,3) to (11,1), carried to y 123: (11,15). The copies of the crossing segments themselves
    // fall outside the chip.
    const QString carried = QStringLiteral("(7,0) (11,1) (11,2) (11,3) (0,5) (12,5) (13,5) (14,5) (15,5) (1,10) "
                                           "(2,10) (3,10) (15,10) (7,12) (7,13) (7,14) (7,15) (11,15)");
    const QList<int> all{0, 1, 2, 3};
    QTest::newRow("plain X11") << int(Desktop::X11) << all << carried;
    QTest::newRow("Xwayland in weston, right edge") << int(Desktop::Xwayland) << QList<int>{0}
                                                    << QStringLiteral("(0,5) (12,5) (13,5) (14,5) (15,5)");
    QTest::newRow("Xwayland in weston, left edge") << int(Desktop::Xwayland) << QList<int>{1}
                                                   << QStringLiteral("(1,10) (2,10) (3,10) (15,10)");
    QTest::newRow("Xwayland in weston, bottom edge") << int(Desktop::Xwayland) << QList<int>{2}
                                                     << QStringLiteral("(7,0) (7,12) (7,13) (7,14) (7,15)");
    QTest::newRow("Xwayland in weston, top edge") << int(Desktop::Xwayland) << QList<int>{3}
                                                  << QStringLiteral("(11,1) (11,2) (11,3) (11,15)");
    // The pointer stays beyond the edge: the motion after the crossing is taken as where the
    // stroke goes on from, outside the chip.
    QTest::newRow("Wayland alone") << int(Desktop::Wayland) << all
                                   << QStringLiteral("(11,1) (11,2) (11,3) (12,5) (13,5) (14,5) (15,5) (1,10) (2,10) "
                                                     "(3,10) (7,12) (7,13) (7,14) (7,15)");
}

void X11WaylandSessions::loopStrokes()
{
    QFETCH(int, desktop);
    QFETCH(QList<int>, strokes);
    QFETCH(QString, pixels);

    view = QRect();
    if (Desktop(desktop) != Desktop::X11) {
        weston = std::make_unique<WestonSession>();
        const QString failure = weston->start();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
    QVERIFY(startMarlo(Desktop(desktop)));
    const QString failure = prepareChip();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    for (const int s : strokes)
        QVERIFY(stroke(kStrokes[s], Desktop(desktop)));

    const QString file = save();
    QVERIFY2(!file.isEmpty(), "the chip was not saved");
    Bitmap chip;
    QVERIFY(ReadBmpFile(file, chip, 256, 256));
    QCOMPARE(chip.width(), 16);
    QCOMPARE(text(paintedPixels(chip)), pixels);
}

// Starts the program as a user's session would: it chooses its platform itself.
bool X11WaylandSessions::startMarlo(Desktop desktop)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"), QStringLiteral("0"));
    // Each row ends it with a kill, which leaves the folder of its run: in the test's folder.
    env.insert(QStringLiteral("TMPDIR"), dir.path());
    marloDisplay = env.value(QStringLiteral("DISPLAY"));
    if (desktop != Desktop::X11) {
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), weston->runtimeDir());
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), weston->socket());
        if (desktop == Desktop::Xwayland)
            env.insert(QStringLiteral("DISPLAY"), marloDisplay = weston->xDisplay());
        else {
            env.remove(QStringLiteral("DISPLAY"));
            marloDisplay.clear();
        }
        // Weston takes the keys only from its window.
        Xdotool({QStringLiteral("search"), QStringLiteral("--classname"), QStringLiteral("weston"),
                 QStringLiteral("windowactivate"), QStringLiteral("--sync")});
        enterWeston();
    }
    park();
    marlo.setProcessEnvironment(env);
    // The save dialog starts in the working folder, so a bare name lands in the test's folder.
    marlo.setWorkingDirectory(dir.path());
    marlo.setProcessChannelMode(QProcess::ForwardedChannels);
    const QImage before = GrabScreen();
    marlo.start(qEnvironmentVariable("MARLO_BINARY"), {});
    if (!marlo.waitForStarted() || !waitForNewWindow(before, 30000))
        return false;
    // On plain X11 the keys must go to the program's main window, whatever else the window
    // manager lets have the focus.
    if (desktop == Desktop::X11) {
        const QString main = WaitForProcessWindow(marlo.processId(), QStringLiteral("Marlo"));
        if (main.isEmpty() || !Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), main}))
            return false;
    }
    QTest::qWait(kFocusPause);
    return true;
}

// A new chip of 16 by 16, its window maximized, zoom 8, loop on. Keys may be lost on the way
// through the compositor, so each step is repeated until the screen shows it, and none starts
// before the screen shows that the one before it is over.
QString X11WaylandSessions::prepareChip()
{
    QRect block;
    for (int attempt = 0; attempt < 3 && block.isNull(); ++attempt) {
        const QImage before = GrabScreen();
        pressKeys({QStringLiteral("Escape"), QStringLiteral("ctrl+n")});
        // Each attempt gives a loaded machine longer.
        if (!waitForNewWindow(before, 5000 * (attempt + 1)) || !waitForKeyboard(QStringLiteral("新規作成"), attempt))
            continue;
        pressKeys({QStringLiteral("1"), QStringLiteral("6"), QStringLiteral("Tab"), QStringLiteral("1"),
                   QStringLiteral("6"), QStringLiteral("Tab"), QStringLiteral("space")});
        block = waitForView(16, 5000 * (attempt + 1));
        // The chip shows before the dialog has gone; a click or key meant for the chip window could
        // still meet the dialog.
        if (block.isValid() && !marloDisplay.isEmpty() &&
            !WaitForWindowGone(marlo.processId(), QStringLiteral("新規作成"), marloDisplay))
            return QStringLiteral("the new-chip dialog did not go");
    }
    if (block.isNull())
        return QStringLiteral("no new chip of 16 by 16 appeared");
    view = block;
    // The chip window's own menu, opened by a click on its icon at the left of its title bar, and its
    // item 最大化(X) maximize it: a click and a key, each of which arrives or not, where a double
    // click through a compositor on a loaded machine may arrive as two single clicks.
    bool maximized = false;
    QStringList missed; // what each attempt waited for in vain, for the failure's message
    for (int attempt = 0; attempt < 3 && !maximized; ++attempt) {
        // Weston 14 keeps the first press after the pointer has come back to a surface, as it does
        // when a dialog above it closes: that one goes to the empty frame, not the title bar. It
        // also gives the main window the keyboard, which weston leaves nowhere as a dialog closes.
        park();
        Xdotool({QStringLiteral("click"), QStringLiteral("1")});
        if (!waitForKeyboard(QStringLiteral("Marlo"), attempt)) {
            missed << QStringLiteral("the keyboard");
            continue;
        }
        const QImage before = GrabScreen();
        moveTo(block.topLeft() + QPoint(9, -13));
        Xdotool({QStringLiteral("click"), QStringLiteral("1")});
        park();
        if (waitForNewWindow(before, 5000 * (attempt + 1), 300)) {
            pressKeys({QStringLiteral("x")});
            maximized = QTest::qWaitFor([&] { return (view = waitForView(16, 0)).isValid() && view != block; },
                                        5000 * (attempt + 1));
            if (!maximized)
                missed << QStringLiteral("the larger view");
        } else {
            missed << QStringLiteral("the window menu");
        }
        if (!maximized)
            pressKeys({QStringLiteral("Escape")}); // a menu left open
    }
    if (!maximized)
        return QStringLiteral("the chip window was not maximized (waited in vain for %1)").arg(missed.join(QStringLiteral(", ")));
    for (int presses = 0; presses < 20; ++presses) {
        const int zoom = shownZoom();
        // On a busy machine a key pressed again may still be on its way when the one before it
        // arrives: zoom 8 counts once it has held for a second.
        if (zoom == 8) {
            QTest::qWait(1000);
            if (shownZoom() == 8)
                break;
            continue;
        }
        pressKeys({zoom < 8 ? QStringLiteral("ctrl+shift+equal") : QStringLiteral("ctrl+minus")});
        // Not there yet: the key may have been lost, and the loop presses it again.
        static_cast<void>(QTest::qWaitFor([&] { return shownZoom() != zoom; }, 3000));
    }
    const QRect zoomed = waitForView(128, 1000);
    if (zoomed.isNull())
        return QStringLiteral("no view of 128 by 128 at zoom 8 (zoom %1 shown)").arg(shownZoom());
    view = zoomed;
    pressKeys({QStringLiteral("ctrl+l")});
    return QString();
}

// Weston's X11 backend follows the outer pointer only once it has entered its window from outside.
void X11WaylandSessions::enterWeston()
{
    moveTo(weston->output().bottomRight() + QPoint(5, 5));
    moveTo(weston->output().bottomRight() - QPoint(2, 2));
}

// Where the pointer waits: off the view, since weston draws it into its picture of the screen. Once
// the chip is there, on the main window below and right of the view, even at zoom 16: weston 14
// passes on no press to an Xwayland client whose window the pointer has left and come back to
// after an earlier press. Before that, in the corner of the output or screen.
void X11WaylandSessions::park()
{
    if (view.isValid()) {
        moveTo(view.topLeft() + QPoint(300, 200));
        return;
    }
    const QRect area = weston ? weston->output() : QGuiApplication::primaryScreen()->geometry();
    moveTo(area.bottomRight() - QPoint(2, 2));
}

// The zoom the maximized view shows: its width from its top-left corner, in chip widths.
int X11WaylandSessions::shownZoom()
{
    const QImage screen = GrabScreen();
    int x = view.left();
    while (x < screen.width() && (screen.pixel(x, view.top()) | 0xFF000000u) == qRgb(255, 255, 255))
        ++x;
    return (x - view.left()) / 16;
}

// The chip's white view of width by width pixels, once the screen shows it.
QRect X11WaylandSessions::waitForView(int width, int timeout)
{
    QRect found;
    QElapsedTimer clock;
    clock.start();
    do {
        found = FindWhiteBlock(GrabScreen(), width, width);
        if (found.isValid() || clock.elapsed() >= timeout)
            break;
        QTest::qWait(100);
    } while (true);
    return found;
}

bool X11WaylandSessions::stroke(const Stroke& s, Desktop desktop)
{
    park();
    if (!moveTo(view.topLeft() + s.press) || !Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}))
        return false;
    QTest::qWait(kMotionPause);
    for (qsizetype i = 0; i < s.moves.size(); ++i) {
        const QPoint before = desktop == Desktop::Wayland ? QPoint() : pointerOn(marloDisplay);
        if (!moveBy(s.moves[i]))
            return false;
        // The warp: the program's X server shows the pointer carried back across the view. A
        // motion sent before it would be one from the far side.
        if (i == s.crossing && desktop != Desktop::Wayland) {
            const QPoint step = s.moves[i];
            const auto back = [](int step, int moved) { return (step > 0 && moved < -64) || (step < 0 && moved > 64); };
            const bool carried = QTest::qWaitFor(
                [&] {
                    const QPoint moved = pointerOn(marloDisplay) - before;
                    return back(step.x(), moved.x()) || back(step.y(), moved.y());
                },
                10000);
            if (!carried) {
                qWarning() << "the pointer was not carried over in the stroke from" << s.press << "at zoom"
                           << shownZoom();
                return false;
            }
        }
    }
    const bool released = Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    QTest::qWait(kMotionPause);
    park();
    return released;
}

// Keys typed into a dialog that has just come up may reach the window before it. Where the program
// has an X server (plain X11, Xwayland), its keyboard focus on the dialog is what counts: keys
// that reach any of the program's windows then go to the dialog. On Wayland alone nothing tells,
// and a pause has to do, longer at each attempt.
bool X11WaylandSessions::waitForKeyboard(const QString& dialog, int attempt)
{
    if (marloDisplay.isEmpty()) {
        QTest::qWait(kFocusPause * (1 + 2 * attempt));
        return true;
    }
    return WaitForInputFocus(marlo.processId(), dialog, marloDisplay);
}

// Save As from the File menu, a name typed into the dialog; returns the file once it exists.
QString X11WaylandSessions::save()
{
    for (const QFileInfo& old : QDir(dir.path()).entryInfoList({QStringLiteral("*.bmp")}, QDir::Files))
        QFile::remove(old.filePath());
    bool shown = false;
    for (int attempt = 0; attempt < 3 && !shown; ++attempt) {
        const QImage before = GrabScreen();
        pressKeys({QStringLiteral("Escape"), QStringLiteral("alt+f"), QStringLiteral("a")});
        // Larger than the File menu that opens on the way.
        shown = waitForNewWindow(before, 5000 * (attempt + 1), 8000);
    }
    if (!shown || !waitForKeyboard(QStringLiteral("名前を付けて保存")))
        return QString();
    pressKeys({QStringLiteral("s"), QStringLiteral("t"), QStringLiteral("r"), QStringLiteral("o"), QStringLiteral("k"),
               QStringLiteral("e"), QStringLiteral("Return")});
    // Whatever name arrived: a lost letter must not pass for a lost picture.
    QString file;
    const bool written = QTest::qWaitFor(
        [&] {
            const QFileInfoList found = QDir(dir.path()).entryInfoList({QStringLiteral("*.bmp")}, QDir::Files);
            if (!found.isEmpty() && found.first().size() > 0)
                file = found.first().filePath();
            return !file.isEmpty();
        },
        15000);
    return written ? file : QString();
}

QTEST_MAIN(X11WaylandSessions)
#include "x11_wayland_sessions.moc"
