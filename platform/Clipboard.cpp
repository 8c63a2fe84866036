// SPDX-License-Identifier: MIT
#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/Errors.h"
#include "platform/PictureData.h"

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
    return data && OffersPicture(*data);
}

bool ClipboardGetBitmap(Bitmap& out, int maxWidth, int maxHeight)
{
    const QMimeData* data = clipboard()->mimeData();
    if (!data)
        return false;
    switch (ReadOfferedPicture(*data, maxWidth, maxHeight, out)) {
    case OfferedPicture::None:
        return false;
    case OfferedPicture::Read:
        return true;
    case OfferedPicture::Unreadable:
        break;
    }
    throw EMarloError(QStringLiteral("クリップボードの画像を読み込むことができません"));
}

void ClipboardSetBitmap(const Bitmap& bitmap)
{
    clipboard()->setImage(bitmap.toImage());
}
