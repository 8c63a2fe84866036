// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include "pictures/BmpFile.h"
#include "platform/Checkerboard.h"
#include "tools/UEditerData.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

QString ChildwinProbe::panel0() const
{
    return child.FStatPanel0->text();
}

QString ChildwinProbe::panel1() const
{
    return child.FStatPanel1->text();
}

Bitmap ChildwinProbe::painted(int devicePixelRatio) const
{
    const QSize size = child.FFrontImg->size();
    if (size.isEmpty())
        return Bitmap(size.width(), size.height());
    QImage image(size * devicePixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::magenta);
    child.FFrontImg->render(&image);
    return Bitmap::fromImage(image);
}

ChildwinProbe::Shown ChildwinProbe::shown() const
{
    TImageControl* view = child.FFrontImg;
    QWidget* top = view->window();
    const QRect area = view->visibleRegion().boundingRect();
    if (area.isEmpty())
        return Shown{area, Bitmap()}; // a grab of no size would take the whole window
    const QPoint inTop = view->mapTo(top, area.topLeft());
    const QPixmap grabbed =
        top->windowHandle()->screen()->grabWindow(top->winId(), inTop.x(), inTop.y(), area.width(), area.height());
    return Shown{area, Bitmap::fromImage(grabbed.toImage())};
}

Bitmap ChildwinProbe::reference() const
{
    return ReferenceView(child.FChipBmp, child.FZoom,
                         child.FSelected ? std::optional<TRect>(child.FSelRect) : std::nullopt);
}

std::unique_ptr<TMDIChild> MakeChip(int w, int h, int zoom, ChipFill fill, bool show)
{
    auto c = std::make_unique<TMDIChild>();
    c->NewChip(QStringLiteral("NONAME1"), w, h);
    if (fill == ChipFill::Numbered) {
        ChildwinProbe(*c).chip() = NumberedBitmap(w, h);
        c->PushUndo();
    }
    c->setZoom(zoom);
    if (show) {
        c->show();
        // Exposed, so the views compared with the reference are on screen.
        if (!QTest::qWaitForWindowExposed(c.get(), kWindowEventTimeout))
            qWarning("the chip window was never exposed");
    }
    return c;
}

bool SavedPicture(TMDIChild& c, Bitmap& saved)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("chip.bmp"));
    if (!dir.isValid())
        return false;
    c.SaveToFile(file);
    return ReadBmpFile(file, saved, kMaxChipSide, kMaxChipSide);
}

Qt::MouseButtons& HeldButtons()
{
    static Qt::MouseButtons held;
    return held;
}

void SendMouse(TMDIChild& c, QEvent::Type type, QPointF p, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers mods)
{
    TImageControl* view = c.frontImage();
    QMouseEvent event(type, p, view->mapToGlobal(p), button, held, mods);
    QApplication::sendEvent(view, &event);
}

void Press(TMDIChild& c, QPoint p, Qt::KeyboardModifiers mods, Qt::MouseButton button)
{
    HeldButtons() |= button;
    SendMouse(c, QEvent::MouseButtonPress, p, button, HeldButtons(), mods);
}

void Motion(TMDIChild& c, QPoint p, Qt::MouseButtons held, Qt::KeyboardModifiers mods)
{
    SendMouse(c, QEvent::MouseMove, p, Qt::NoButton, held, mods);
}

void Release(TMDIChild& c, QPoint p, Qt::MouseButton button)
{
    HeldButtons() &= ~Qt::MouseButtons(button);
    SendMouse(c, QEvent::MouseButtonRelease, p, button, HeldButtons());
}

void Drag(TMDIChild& c, QPoint from, const QList<QPoint>& path, Qt::KeyboardModifiers mods)
{
    Press(c, from, mods);
    for (const QPoint& p : path)
        Motion(c, p, Qt::LeftButton, mods);
    Release(c, path.isEmpty() ? from : path.last());
}

void DragTo(TMDIChild& c, QPoint from, QPoint to, Qt::KeyboardModifiers mods)
{
    Drag(c, from, {from + (to - from) / 2, to}, mods);
}

Bitmap ReferenceView(const Bitmap& chip, int zoom, const std::optional<TRect>& selection)
{
    Bitmap view(chip.width() * zoom, chip.height() * zoom);
    for (int y = 0; y < view.height(); ++y)
        for (int x = 0; x < view.width(); ++x)
            view.setArgb(x, y, OverChecker(chip.argb(x / zoom, y / zoom), x, y));
    // Four lines that each stop short of their end draw nothing around an empty block.
    if (!selection || (selection->Left == selection->Right && selection->Top == selection->Bottom))
        return view;
    const int l = selection->Left * zoom, t = selection->Top * zoom;
    const int r = selection->Right * zoom, b = selection->Bottom * zoom;
    for (int y = std::min(t, b); y <= std::max(t, b); ++y) {
        view.setPixel(l, y, ClrBlack);
        view.setPixel(r, y, ClrBlack);
    }
    for (int x = std::min(l, r); x <= std::max(l, r); ++x) {
        view.setPixel(x, t, ClrBlack);
        view.setPixel(x, b, ClrBlack);
    }
    return view;
}

QString FirstDifference(const Bitmap& actual, const Bitmap& expected, QPoint at)
{
    if (actual.width() > expected.width() - at.x() || actual.height() > expected.height() - at.y())
        return QStringLiteral("%1x%2 at (%3,%4) does not fit in %5x%6")
            .arg(actual.width())
            .arg(actual.height())
            .arg(at.x())
            .arg(at.y())
            .arg(expected.width())
            .arg(expected.height());
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (actual.argb(x, y) != expected.argb(at.x() + x, at.y() + y))
                return QStringLiteral("pixel (%1,%2) is %3, expected %4 (AARRGGBB)")
                    .arg(at.x() + x)
                    .arg(at.y() + y)
                    .arg(actual.argb(x, y), 8, 16, QLatin1Char('0'))
                    .arg(expected.argb(at.x() + x, at.y() + y), 8, 16, QLatin1Char('0'));
    return QString();
}

QString PasteMismatch(const Bitmap& chip, const QImage& source, const Bitmap& before)
{
    const int w = std::min(source.width(), chip.width()), h = std::min(source.height(), chip.height());
    for (int y = 0; y < chip.height(); ++y)
        for (int x = 0; x < chip.width(); ++x) {
            const QRgb expected = (x < w && y < h) ? source.pixel(x, y) : before.argb(x, y);
            if (chip.argb(x, y) != expected)
                return QStringLiteral("pixel (%1,%2) is %3, not %4").arg(x).arg(y).arg(chip.argb(x, y), 8, 16).arg(expected, 8, 16);
        }
    return QString();
}

QString ViewMismatch(const ChildwinProbe& probe)
{
    const Bitmap expected = probe.reference();
    const Bitmap painted = probe.painted();
    if (painted.width() != expected.width() || painted.height() != expected.height())
        return QStringLiteral("painted %1x%2, expected %3x%4")
            .arg(painted.width())
            .arg(painted.height())
            .arg(expected.width())
            .arg(expected.height());
    QString difference = FirstDifference(painted, expected);
    if (difference.isEmpty() && probe.front()->isVisible()) {
        const ChildwinProbe::Shown shown = probe.shown();
        if (shown.pixels.width() != shown.area.width() || shown.pixels.height() != shown.area.height())
            return QStringLiteral("the screen holds %1x%2 of the %3x%4 shown")
                .arg(shown.pixels.width())
                .arg(shown.pixels.height())
                .arg(shown.area.width())
                .arg(shown.area.height());
        difference = FirstDifference(shown.pixels, expected, shown.area.topLeft());
        if (!difference.isEmpty())
            difference.prepend(QStringLiteral("on screen: "));
    }
    return difference;
}

Bitmap NumberedBitmap(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, RGBColor(x, y, 100 + (x + y) % 100));
    return b;
}

void ResetToolData()
{
    *ToolData = TToolData{};
}

QByteArray EncodedPicture(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray WhiteSixteenBitBmp()
{
    return QByteArray::fromHex("424d3a00000000000000360000002800000001000000010000000100100000000000040000000000"
                               "0000000000000000000000000000ff7f0000");
}

QByteArray HeaderOnlyBmp()
{
    return QByteArray::fromHex("424d1e000000000000001e00000014000000040004000100180000000000");
}

#ifdef Q_OS_WIN
NamedPipe::NamedPipe(const QString&)
{
    static int pipes = 0;
    path_ = QStringLiteral("\\\\.\\pipe\\marlo-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++pipes);
    HANDLE h = ::CreateNamedPipeW(reinterpret_cast<const wchar_t*>(path_.utf16()), PIPE_ACCESS_OUTBOUND,
                                  PIPE_TYPE_BYTE | PIPE_WAIT, 4, 4096, 4096, 0, nullptr);
    handle_ = h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<qintptr>(h);
    if (handle_ == -1)
        path_.clear();
}

NamedPipe::~NamedPipe()
{
    if (handle_ != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}
#else
NamedPipe::NamedPipe(const QString& folder) : path_(QDir(folder).filePath(QStringLiteral("pipe")))
{
    handle_ = ::mkfifo(QFile::encodeName(path_).constData(), 0600) == 0 ? 0 : -1;
    if (handle_ == -1)
        path_.clear();
}

NamedPipe::~NamedPipe()
{
    if (handle_ != -1)
        QFile::remove(path_);
}
#endif

QString SharedPath(const QString& relative)
{
    const QString root = qEnvironmentVariable("MARLO_SHARED_DIR");
    if (root.isEmpty())
        return QString();
    const QString path = QDir(root).filePath(relative);
    return QFileInfo::exists(path) ? QDir::cleanPath(path) : QString();
}

QImage GrabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

QRect FindWhiteBlock(const QImage& screen, int w, int h)
{
    const QRgb white = qRgb(255, 255, 255);
    auto isWhite = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < screen.width() && y < screen.height() && (screen.pixel(x, y) | 0xFF000000u) == white;
    };
    for (int y = 0; y + h <= screen.height(); ++y) {
        for (int x = 0; x + w <= screen.width(); ++x) {
            if (!isWhite(x, y) || isWhite(x - 1, y) || isWhite(x, y - 1))
                continue;
            if (!isWhite(x + w - 1, y + h - 1) || isWhite(x + w, y) || isWhite(x, y + h))
                continue;
            bool all = true;
            for (int yy = y; all && yy < y + h; ++yy)
                for (int xx = x; all && xx < x + w; ++xx)
                    all = isWhite(xx, yy);
            if (all)
                return QRect(x, y, w, h);
        }
    }
    return QRect();
}

#ifdef Q_OS_WIN
// One request to the bridge: files named after it in the bridge's folder.
struct X11Tool::Impl {
    QString base;
    bool done = false;
    int status = -1;

    static QString folder() { return qEnvironmentVariable("MARLO_X11_BRIDGE"); }
    QString file(const char* suffix) const { return base + QLatin1String(suffix); }
    bool send(const QStringList& lines) const
    {
        QFile request(file(".req.tmp"));
        if (!request.open(QIODevice::WriteOnly))
            return false;
        request.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        request.close();
        QFile::remove(file(".req"));
        return QFile::rename(file(".req.tmp"), file(".req"));
    }
    bool poll()
    {
        QFile rc(file(".rc"));
        if (!done && rc.open(QIODevice::ReadOnly)) {
            status = rc.readAll().trimmed().toInt();
            done = true;
        }
        return done;
    }
};

X11Tool::X11Tool(const QString& program, const QStringList& args, const QByteArray& input) : impl_(new Impl)
{
    static int requests = 0;
    if (Impl::folder().isEmpty())
        return;
    impl_->base = QDir(Impl::folder()).filePath(QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(++requests));
    if (!input.isEmpty()) {
        QFile in(impl_->file(".in"));
        if (in.open(QIODevice::WriteOnly))
            in.write(input);
    }
    if (!impl_->send(QStringList{program} + args))
        impl_->base.clear();
}

X11Tool::~X11Tool()
{
    if (!started())
        return;
    if (!finished()) {
        X11Tool stop(QStringLiteral("stop"), {QFileInfo(impl_->base).fileName()});
        stop.succeeded();
        succeeded(5000);
    }
    for (const char* suffix : {".in", ".out", ".rc"})
        QFile::remove(impl_->file(suffix));
}

bool X11Tool::started() const { return !impl_->base.isEmpty(); }

bool X11Tool::finished() { return started() && impl_->poll(); }

bool X11Tool::succeeded(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (started() && !impl_->poll() && timer.elapsed() < timeoutMs)
        QThread::msleep(10);
    return finished() && impl_->status == 0;
}

int X11Tool::exitCode() { return finished() ? impl_->status : -1; }

QByteArray X11Tool::output()
{
    QFile out(impl_->file(".out"));
    return finished() && out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
}

bool X11Tool::installed(const QString&) { return !Impl::folder().isEmpty(); }
#else
struct X11Tool::Impl {
    QProcess process;
    bool started = false;
};

X11Tool::X11Tool(const QString& program, const QStringList& args, const QByteArray& input) : impl_(new Impl)
{
    impl_->process.start(program, args);
    impl_->started = impl_->process.waitForStarted(5000);
    if (impl_->started && !input.isEmpty()) {
        impl_->process.write(input);
        impl_->process.closeWriteChannel();
    }
}

X11Tool::~X11Tool()
{
    if (impl_->process.state() != QProcess::NotRunning) {
        impl_->process.kill();
        impl_->process.waitForFinished(5000);
    }
}

bool X11Tool::started() const { return impl_->started; }

bool X11Tool::finished() { return impl_->process.state() == QProcess::NotRunning; }

bool X11Tool::succeeded(int timeoutMs)
{
    return impl_->process.waitForFinished(timeoutMs) && impl_->process.exitStatus() == QProcess::NormalExit &&
           impl_->process.exitCode() == 0;
}

int X11Tool::exitCode() { return finished() ? impl_->process.exitCode() : -1; }

QByteArray X11Tool::output() { return impl_->process.readAllStandardOutput(); }

bool X11Tool::installed(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }
#endif

bool Xdotool(const QStringList& args, QString* output)
{
    X11Tool xdotool(QStringLiteral("xdotool"), args);
    const bool ok = xdotool.succeeded();
    if (output)
        *output = QString::fromLocal8Bit(xdotool.output()).trimmed();
    return ok;
}

struct MessageBoxCatcher::Impl {
    QTimer timer;
    QList<Box> boxes;
};

MessageBoxCatcher::MessageBoxCatcher() : impl_(new Impl)
{
    impl_->timer.setInterval(10);
    QObject::connect(&impl_->timer, &QTimer::timeout, [this] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            Box b{box->windowTitle(), box->text(), int(box->icon()), {}};
            for (QAbstractButton* button : box->buttons())
                b.buttons << button->text();
            impl_->boxes << b;
            if (!box->buttons().isEmpty())
                box->buttons().first()->click();
            else
                box->reject();
        }
    });
    impl_->timer.start();
}

MessageBoxCatcher::~MessageBoxCatcher()
{
    delete impl_;
}

QList<MessageBoxCatcher::Box> MessageBoxCatcher::boxes() const
{
    return impl_->boxes;
}
