// SPDX-License-Identifier: MIT
#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <memory>

#include "pictures/Errors.h"
#include "pictures/PictureData.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

QClipboard* clipboard()
{
    QClipboard* c = QGuiApplication::clipboard();
    if (!c)
        throw EMarloError(QStringLiteral("クリップボードを開くことができません"));
    return c;
}

#ifdef Q_OS_WIN
// The bytes of the clipboard's device-independent bitmap in a format (CF_DIB, CF_DIBV5), empty
// when it has none or they cannot be had. Another program may hold the clipboard open for a moment.
QByteArray clipboardDib(UINT format)
{
    bool open = false;
    for (int attempt = 0; attempt < 10 && !(open = ::OpenClipboard(nullptr)); ++attempt)
        QThread::msleep(10);
    if (!open)
        return QByteArray();
    QByteArray bytes;
    if (HANDLE data = ::GetClipboardData(format)) {
        if (const void* p = ::GlobalLock(data)) {
            bytes = QByteArray(static_cast<const char*>(p), qsizetype(::GlobalSize(data)));
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return bytes;
}

// What Windows' clipboard offers, as data our readers take: PNG arrives under its Windows name,
// and the bitmap's own bytes are read like a BMP file, as on X11, rather than as the picture Qt
// decodes from them (Qt shifts 16-bit channels instead of scaling them, so white turns grey, and
// takes damaged data for a picture).
std::unique_ptr<QMimeData> offeredData(const QMimeData& qt)
{
    // Only Qt's windows platform hands on Windows' own clipboard.
    if (QGuiApplication::platformName() != QLatin1String("windows"))
        return nullptr;
    auto offer = std::make_unique<QMimeData>();
    // The V5 bitmap holds alpha where the program that copied gave it; Windows makes either from
    // the other.
    for (const UINT format : {UINT(CF_DIBV5), UINT(CF_DIB)}) {
        if (!::IsClipboardFormatAvailable(format))
            continue;
        offer->setData(QStringLiteral("image/bmp"), BmpFileOfDib(clipboardDib(format)));
        break;
    }
    for (const QString& format : qt.formats()) {
        if (format == QLatin1String("application/x-qt-windows-mime;value=\"PNG\""))
            offer->setData(QStringLiteral("image/png"), qt.data(format));
        else if (format.startsWith(QLatin1String("image/")) && !offer->hasFormat(format))
            offer->setData(format, qt.data(format));
    }
    if (offer->formats().isEmpty() && qt.hasImage())
        offer->setImageData(qt.imageData());
    return offer;
}
#else
// X11's and Wayland's clipboards offer pictures by their MIME types already.
std::unique_ptr<QMimeData> offeredData(const QMimeData&) { return nullptr; }
#endif

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
    const std::unique_ptr<QMimeData> system = offeredData(*data);
    switch (ReadOfferedPicture(system ? *system : *data, maxWidth, maxHeight, out)) {
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
