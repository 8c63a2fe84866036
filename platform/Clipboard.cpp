#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/Errors.h"

namespace {

QClipboard* clipboard()
{
    QClipboard* c = QGuiApplication::clipboard();
    if (!c)
        throw EMarloError(QStringLiteral("クリップボードを開くことができません"));
    return c;
}

} // namespace

bool ClipboardHasBitmap()
{
    const QMimeData* data = clipboard()->mimeData();
    return data && data->hasImage();
}

bool ClipboardGetBitmap(Bitmap& out)
{
    const QImage image = clipboard()->image();
    if (image.isNull())
        return false;
    out = Bitmap::fromImage(image);
    return true;
}

void ClipboardSetBitmap(const Bitmap& bitmap)
{
    clipboard()->setImage(bitmap.toImage());
}
