#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>
#include <climits>

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
    return ClipboardGetBitmap(out, INT_MAX, INT_MAX);
}

bool ClipboardGetBitmap(Bitmap& out, int maxWidth, int maxHeight)
{
    const QImage image = clipboard()->image();
    if (image.isNull())
        return false;
    const int w = std::clamp(image.width(), 0, std::max(maxWidth, 0));
    const int h = std::clamp(image.height(), 0, std::max(maxHeight, 0));
    if (w == 0 || h == 0)
        out = Bitmap(w, h); // no pixels, but the side that has some still counts
    else if (w == image.width() && h == image.height())
        out = Bitmap::fromImage(image);
    else
        out = Bitmap::fromImage(image.copy(0, 0, w, h));
    return true;
}

void ClipboardSetBitmap(const Bitmap& bitmap)
{
    clipboard()->setImage(bitmap.toImage());
}
