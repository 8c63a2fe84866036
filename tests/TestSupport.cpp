#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "tools/UEditerData.h"

QString ChildwinProbe::panel0() const
{
    return child.FStatPanel0->text();
}

QString ChildwinProbe::panel1() const
{
    return child.FStatPanel1->text();
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

bool Xdotool(const QStringList& args, QString* output)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    const bool ok = p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
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
