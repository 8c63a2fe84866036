// SPDX-License-Identifier: MIT
#pragma once
#include <QEvent>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "TestPng.h"
#include "document/Childwin.h"

// Reads and sets the private state of a chip window, for checks the screen cannot show.
struct ChildwinProbe {
    explicit ChildwinProbe(TMDIChild& c) : child(c) {}
    TMDIChild& child;

    int32_t& undoIndex() { return child.FUndoIndex; }
    size_t undoCount() const { return child.FUndoList.size(); }
    const Bitmap& undoBitmap(size_t i) const { return *child.FUndoList.at(i)->FBitmap; }
    bool& skipMouseMove() { return child.FSkipMouseMove; }
    TPoint& fromPt() { return child.FFromPt; }
    TPoint& toPt() { return child.FToPt; }
    bool& dragging() { return child.FDragging; }
    bool& scrollDrag() { return child.FScrollDrag; }
    bool& selected() { return child.FSelected; }
    TRect& selRect() { return child.FSelRect; }
    Bitmap& chip() { return child.FChipBmp; }
    Bitmap& back() { return child.FBackBmp; }
    Bitmap& floating() { return child.FFloatBmp; }
    std::vector<TPoint>& linePts() { return child.FLinePts; }
    TImageControl* front() const { return child.FFrontImg; }
    QScrollArea* scrollBox() const { return child.FScrBoxChild; }
    // The whole view as the control paints it now, at the given device pixel ratio.
    Bitmap painted(int devicePixelRatio = 1) const;
    // The part of the view the window shows, read back from the screen without painting anything,
    // and where that part lies in the view. Only for a shown window.
    struct Shown {
        QRect area;
        Bitmap pixels;
    };
    Shown shown() const;
    // The reference rendering of the whole view for the chip, zoom and selection the window holds now.
    Bitmap reference() const;
    QString panel0() const;
    QString panel1() const;

    // Direct calls of the private operations, for the numeric cases.
    void BuildLinePts(int x0, int y0, int x1, int y1) { child.BuildLinePts(x0, y0, x1, y1); }
    void BlendPixel(int x, int y, uint8_t a) { child.BlendPixel(x, y, a); }
    void DrawMoved(int x, int y) { child.DrawMoved(x, y); }
    void CommitMove() { child.CommitMove(); }
};

// A picture whose every pixel has a colour of its own, so a shifted or cut copy can be told
// from the original.
Bitmap NumberedBitmap(int w, int h);

// What a test's chip holds at first: white, or NumberedBitmap recorded as its latest undo step.
enum class ChipFill { White, Numbered };
// How long a test waits for the window system to do what it was asked (a window shown, activated,
// another program's window mapped). It happens unless something hangs, but not always in Qt's
// default 5 s: on two cores with a package build and another test beside it, the first window of
// a sanitized process has taken longer to become active.
constexpr int kWindowEventTimeout = 60000;

// A chip window of w by h pixels at a zoom; shown, and on the screen, when show is set.
std::unique_ptr<TMDIChild> MakeChip(int w, int h, int zoom = 1, ChipFill fill = ChipFill::White, bool show = false);
// What a save of the chip writes, read back: the picture the user takes away.
bool SavedPicture(TMDIChild& c, Bitmap& saved);

// Pointer events sent to a chip window's view as the window system delivers them. QTest is not
// used: it takes the point (0, 0) for "the middle of the widget", and it turns a motion without
// a button into a real pointer move, which the offscreen platform never reports.
Qt::MouseButtons& HeldButtons();
void SendMouse(TMDIChild& c, QEvent::Type type, QPointF p, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers mods = {});
void Press(TMDIChild& c, QPoint p, Qt::KeyboardModifiers mods = {}, Qt::MouseButton button = Qt::LeftButton);
void Motion(TMDIChild& c, QPoint p, Qt::MouseButtons held = Qt::LeftButton, Qt::KeyboardModifiers mods = {});
void Release(TMDIChild& c, QPoint p, Qt::MouseButton button = Qt::LeftButton);
// One drag as the user makes it: a press, the motions along path, the release where it ends.
void Drag(TMDIChild& c, QPoint from, const QList<QPoint>& path, Qt::KeyboardModifiers mods = {});
// A drag straight to a point, with one motion half-way.
void DragTo(TMDIChild& c, QPoint from, QPoint to, Qt::KeyboardModifiers mods = {});

// The whole view worked out pixel by pixel: every chip pixel a zoom by zoom square, and for a
// selection the frame, one black pixel wide, through the enlarged corners of the block; its right
// and bottom sides lie on the first view column and row after the block.
Bitmap ReferenceView(const Bitmap& chip, int zoom, const std::optional<TRect>& selection);

// Empty when actual equals the block of expected whose top-left corner is at, alpha included;
// otherwise where and how they first differ.
QString FirstDifference(const Bitmap& actual, const Bitmap& expected, QPoint at = QPoint());

// Empty when chip holds source's top-left corner, as far as it reaches into the chip, and the
// pixels of before elsewhere: what a paste leaves, alpha included. Otherwise where they first differ.
QString PasteMismatch(const Bitmap& chip, const QImage& source, const Bitmap& before);

// Empty when both what the control paints and what a shown window has on screen are the
// reference rendering; otherwise the first difference.
QString ViewMismatch(const ChildwinProbe& probe);
#define VERIFY_VIEW_SHOWS_CHIP(child)                                                                \
    do {                                                                                           \
        const QString mismatch = ViewMismatch(ChildwinProbe(child));                               \
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));                                        \
    } while (false)

// Puts the shared tool state back to its start values.
void ResetToolData();

// The bytes of a picture in a file format Qt writes ("PNG", "BMP", "PPM").
QByteArray EncodedPicture(const QImage& image, const char* format);

// A BMP of one white 16-bit pixel: our reader makes it white, Qt's own makes it grey.
QByteArray WhiteSixteenBitBmp();

// A BMP of 30 bytes with a header of unusual size (20) that holds a 4 by 4 picture's fields as an
// OS/2 1 header would, and no pixels at all. Qt's reader took it for a whole picture.
QByteArray HeaderOnlyBmp();

// A named pipe that nobody writes to, which would hold a reader that opened it; gone with the
// object. In the folder on Unix; Windows keeps its pipes in a namespace of their own.
class NamedPipe {
public:
    explicit NamedPipe(const QString& folder);
    ~NamedPipe();
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;
    QString path() const { return path_; } // empty when the pipe could not be made

private:
    QString path_;
    qintptr handle_ = -1;
};

// Path of a file under the shared folder beside the project, or empty when it is absent.
QString SharedPath(const QString& relative);

// The whole screen as the X server shows it.
QImage GrabScreen();
// A white block of exactly w by h pixels on the screen (such as a new chip's view), or a null rect.
QRect FindWhiteBlock(const QImage& screen, int w, int h);

// xdotool or xclip, which play the user and the other programs on a real X server, started with
// the arguments and fed input. A Windows program under Wine cannot start a Unix program: there
// they run through the bridge of tests/windows/x11-bridge.sh, named by MARLO_X11_BRIDGE, and
// Windows paths among the arguments reach them as the Unix paths Wine maps them to.
class X11Tool {
public:
    X11Tool(const QString& program, const QStringList& args, const QByteArray& input = QByteArray());
    ~X11Tool(); // ends the program if it still runs
    X11Tool(const X11Tool&) = delete;
    X11Tool& operator=(const X11Tool&) = delete;

    bool started() const;
    // Whether it has ended, without waiting.
    bool finished();
    // Waits without running the event loop: true when it ended in time with status 0.
    bool succeeded(int timeoutMs = 15000);
    int exitCode();
    QByteArray output();

    static bool installed(const QString& program);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Runs xdotool with the arguments; true when it ran and succeeded. Its output goes to output.
bool Xdotool(const QStringList& args, QString* output = nullptr);

// Answers every modal message box that opens while it lives: records its title and text and
// presses its button, so tests can drive code that asks the user.
class MessageBoxCatcher {
public:
    MessageBoxCatcher();
    ~MessageBoxCatcher();
    struct Box {
        QString title;
        QString text;
        int icon;
        QStringList buttons;
    };
    QList<Box> boxes() const;

private:
    struct Impl;
    Impl* impl_;
};
