// SPDX-License-Identifier: MIT
#pragma once
#include <QBrush>
#include <QImage>
#include <QRgb>

#include "pictures/Bitmap.h"

// Transparent and translucent pixels are shown over a checkerboard of two light greys, never in
// the colour kept under them. Its squares lie on the picture shown (the view, the preview), not
// on the chip, so that they keep their size at every zoom.
constexpr int kCheckerSquare = 8;
constexpr QRgb kCheckerLight = 0xFFEEEEEEu;
constexpr QRgb kCheckerDark = 0xFFCCCCCCu;

// The checkerboard's grey at a point of the picture shown (x, y >= 0).
constexpr QRgb CheckerAt(int x, int y)
{
    return ((x / kCheckerSquare + y / kCheckerSquare) & 1) ? kCheckerDark : kCheckerLight;
}

// A pixel over a grey, as it is seen: opaque, each channel rounded to the nearest.
constexpr QRgb OverGrey(QRgb pixel, QRgb grey)
{
    const unsigned a = qAlpha(pixel);
    if (a == 255)
        return pixel;
    const auto mix = [a](unsigned c, unsigned g) { return (c * a + g * (255 - a) + 127) / 255; };
    return qRgb(int(mix(unsigned(qRed(pixel)), unsigned(qRed(grey)))),
                int(mix(unsigned(qGreen(pixel)), unsigned(qGreen(grey)))),
                int(mix(unsigned(qBlue(pixel)), unsigned(qBlue(grey)))));
}

constexpr QRgb OverChecker(QRgb pixel, int x, int y)
{
    return OverGrey(pixel, CheckerAt(x, y));
}

// What a panel showing a pen colour is filled with: the colour, or for the transparent pen the
// checkerboard.
inline QBrush ColourBrush(TColor c)
{
    if (c != ClrTransparent)
        return QBrush(QColor::fromRgb(ColorToQRgb(c)));
    QImage squares(2 * kCheckerSquare, 2 * kCheckerSquare, QImage::Format_RGB32);
    for (int y = 0; y < squares.height(); ++y)
        for (int x = 0; x < squares.width(); ++x)
            squares.setPixel(x, y, CheckerAt(x, y));
    return QBrush(squares);
}
