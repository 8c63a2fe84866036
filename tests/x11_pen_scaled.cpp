// SPDX-License-Identifier: MIT
// The pen on a scaled screen (QT_SCALE_FACTOR 2 and 1.5) with real pointer events: every device
// pixel of a magnified pixel hits that pixel, a loop stroke carries the pointer to the exact device
// pixel wherever the window lies, and at 2x a chip pixel at zoom 1 is a crisp 2 by 2 block.
// Qt takes the scale factor once, at start, so each factor runs in a process of its own.
#include <QCoreApplication>
#include <QProcess>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>
#include <cmath>
#include <xcb/xcb.h>

#include "PenTestHelpers.h"

using namespace pen;

namespace {

xcb_connection_t* connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_window_t rootWindow()
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
}

// The window's client origin on the screen, in device pixels.
QPoint deviceOrigin(QWidget* window)
{
    auto* reply = xcb_translate_coordinates_reply(
        connection(), xcb_translate_coordinates(connection(), xcb_window_t(window->winId()), rootWindow(), 0, 0),
        nullptr);
    const QPoint origin = reply ? QPoint(reply->dst_x, reply->dst_y) : QPoint();
    free(reply);
    return origin;
}

QPoint pointerOnScreen()
{
    auto* reply = xcb_query_pointer_reply(connection(), xcb_query_pointer(connection(), rootWindow()), nullptr);
    const QPoint at = reply ? QPoint(reply->root_x, reply->root_y) : QPoint();
    free(reply);
    return at;
}

// The first device pixel on the screen that the view reads as view pixel v.
QPoint deviceAt(TImageControl* view, QPoint v)
{
    QWidget* window = view->window();
    const qreal ratio = window->windowHandle()->devicePixelRatio();
    const QPoint inWindow = view->mapTo(window, v);
    const auto device = [ratio](int logical) { return int(std::ceil(logical * ratio - 1e-9)); };
    return deviceOrigin(window) + QPoint(device(inWindow.x()), device(inWindow.y()));
}

QStringList to(QPoint device)
{
    return {QStringLiteral("mousemove"), QString::number(device.x()), QString::number(device.y())};
}

// Shows the chip's window with its client origin moved by shift device pixels, and waits for it.
bool showShifted(TMDIChild& c, QPoint shift)
{
    c.setGeometry(150, 150, 150, 120);
    c.show();
    c.activateWindow();
    if (!QTest::qWaitForWindowActive(&c, kWindowEventTimeout))
        return false;
    const QPoint wanted = deviceOrigin(&c) + shift;
    const uint32_t xy[] = {uint32_t(wanted.x()), uint32_t(wanted.y())};
    xcb_configure_window(connection(), xcb_window_t(c.winId()), XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy);
    xcb_flush(connection());
    return QTest::qWaitFor([&] { return deviceOrigin(&c) == wanted; });
}

} // namespace

class X11PenScaled : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { ResetToolData(); }
    void cleanup() { Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}); }

    void everyDevicePixelHitsItsChipPixel();
    void loopStrokeLandsOnTheExactDevicePixel_data();
    void loopStrokeLandsOnTheExactDevicePixel();
    void zoomOneIsCrisp();
};

void X11PenScaled::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server");
    if (!Xdotool({QStringLiteral("version")}))
        QSKIP("xdotool is not installed");
    qInfo("scale factor %s", qPrintable(qEnvironmentVariable("QT_SCALE_FACTOR")));
}

// Zoom 2: a chip pixel covers 4 by 4 device pixels at 2x, 3 by 3 at 1.5x. A press on each of
// them, and a motion to another device pixel of the same chip pixel, paints that chip pixel and
// no other; each offset has a chip pixel of its own, three apart, so a neighbour hit shows.
void X11PenScaled::everyDevicePixelHitsItsChipPixel()
{
    auto c = MakeChip(16, 16, 2);
    ChildwinProbe probe(*c);
    QVERIFY(showShifted(*c, QPoint(1, 1)));
    TImageControl* view = c->frontImage();
    const int span = int(std::lround(2 * view->window()->windowHandle()->devicePixelRatio()));

    PixelSet expected;
    for (int dy = 0; dy < span; ++dy) {
        for (int dx = 0; dx < span; ++dx) {
            const QPoint chip(2 + 3 * dx, 2 + 3 * dy);
            const QPoint first = deviceAt(view, chip * 2);
            QCOMPARE(deviceAt(view, chip * 2 + QPoint(2, 2)) - first, QPoint(span, span));
            const QPoint pressAt = first + QPoint(dx, dy);
            const QPoint moveTo = first + (dx == 0 && dy == 0 ? QPoint(1, 1) : QPoint(0, 0));
            const size_t steps = probe.undoCount();
            QVERIFY(Xdotool(to(pressAt) + QStringList{QStringLiteral("mousedown"), QStringLiteral("1")} + to(moveTo) +
                            QStringList{QStringLiteral("mouseup"), QStringLiteral("1")}));
            QTRY_COMPARE(probe.undoCount(), steps + 1);
            expected.insert({chip.x(), chip.y()});
        }
    }
    QCOMPARE(text(paintedPixels(probe.chip())), text(expected));
}

void X11PenScaled::loopStrokeLandsOnTheExactDevicePixel_data()
{
    QTest::addColumn<QPoint>("shift"); // of the window's origin, in device pixels
    addLoopStrokeColumns();

    // Chip 8 by 8 at zoom 8. Each landing is the first view pixel of a chip pixel, so a warp that
    // fell one device pixel short would continue the stroke from the neighbouring chip pixel.
    for (const QPoint shift : {QPoint(0, 0), QPoint(1, 1), QPoint(2, 1)}) {
        const QString at = QStringLiteral(", window moved by %1,%2").arg(shift.x()).arg(shift.y());
        QTest::newRow(qPrintable(QStringLiteral("right edge") + at))
            << shift << QPoint(40, 20) << QPoint(56, 20) << QPoint(72, 20) << QPoint(8, 44) << QPoint(8, 20)
            << "(0,2) (1,2) (5,2) (6,2) (7,2) (1,3) (1,4)";
        QTest::newRow(qPrintable(QStringLiteral("left edge") + at))
            << shift << QPoint(20, 20) << QPoint(8, 20) << QPoint(-8, 20) << QPoint(56, 44) << QPoint(56, 20)
            << "(0,2) (1,2) (2,2) (7,2) (7,3) (7,4)";
        QTest::newRow(qPrintable(QStringLiteral("bottom edge") + at))
            << shift << QPoint(20, 40) << QPoint(20, 56) << QPoint(20, 72) << QPoint(44, 8) << QPoint(20, 8)
            << "(2,0) (2,1) (3,1) (4,1) (2,5) (2,6) (2,7)";
        QTest::newRow(qPrintable(QStringLiteral("top edge") + at))
            << shift << QPoint(20, 20) << QPoint(20, 8) << QPoint(20, -8) << QPoint(44, 56) << QPoint(20, 56)
            << "(2,0) (2,1) (2,2) (2,7) (3,7) (4,7)";
    }
}

void X11PenScaled::loopStrokeLandsOnTheExactDevicePixel()
{
    QFETCH(QPoint, shift);
    QFETCH(QPoint, pressAt);
    QFETCH(QPoint, inside);
    QFETCH(QPoint, across);
    QFETCH(QPoint, after);
    QFETCH(QPoint, landing);
    QFETCH(QString, pixels);

    ToolData->FLoop = true;
    auto c = MakeChip(8, 8, 8);
    ChildwinProbe probe(*c);
    QVERIFY(showShifted(*c, shift));
    TImageControl* view = c->frontImage();
    const auto reach = [&](QPoint v) {
        QVERIFY(Xdotool(to(deviceAt(view, v))));
        QTRY_COMPARE(probe.toPt(), (TPoint{v.x(), v.y()}));
    };

    reach(pressAt);
    QVERIFY(Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
    QTRY_VERIFY(probe.dragging());
    reach(inside);
    QVERIFY(Xdotool(to(deviceAt(view, across))));
    QTRY_COMPARE(pointerOnScreen(), deviceAt(view, landing));
    QTRY_VERIFY(!probe.skipMouseMove());
    QCOMPARE(probe.toPt(), (TPoint{landing.x(), landing.y()}));
    reach(after);
    QVERIFY(Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
    QTRY_VERIFY(!probe.dragging());

    Bitmap saved;
    QVERIFY(SavedPicture(*c, saved));
    QCOMPARE(text(paintedPixels(saved)), pixels);
}

// Every chip pixel at zoom 1 fills exactly its 2 by 2 block of device pixels on the screen.
void X11PenScaled::zoomOneIsCrisp()
{
    auto c = MakeChip(16, 16, 1);
    if (c->frontImage()->devicePixelRatio() != 2)
        QSKIP("only at 2x does a view pixel cover whole device pixels");
    ChildwinProbe probe(*c);
    probe.chip().assign(NumberedBitmap(16, 16));
    c->RenderView();
    QVERIFY(showShifted(*c, QPoint(1, 0)));
    TImageControl* view = c->frontImage();
    const QPoint origin = deviceAt(view, QPoint(0, 0));
    QImage screen;
    const auto shown = [&] {
        screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        return QRgbToColor(screen.pixel(origin + QPoint(31, 31))) == probe.chip().pixel(15, 15);
    };
    QVERIFY(QTest::qWaitFor(shown));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (QRgbToColor(screen.pixel(origin + QPoint(x, y))) != probe.chip().pixel(x / 2, y / 2))
                QFAIL(qPrintable(QStringLiteral("device pixel (%1,%2) of the view").arg(x).arg(y)));
}

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        QCoreApplication parent(argc, argv);
        bool failed = false;
        for (const char* factor : {"2", "1.5"}) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(factor));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
            failed |= !child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0;
        }
        return failed ? 1 : 0;
    }
    QApplication app(argc, argv);
    X11PenScaled test;
    return QTest::qExec(&test, argc, argv);
}

#include "x11_pen_scaled.moc"
