#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
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
