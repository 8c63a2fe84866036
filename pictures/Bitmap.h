// SPDX-License-Identifier: MIT
#pragma once
#include <QImage>
#include <cstdint>
#include <vector>

#include "pictures/Geometry.h"

// Colours are 0x00BBGGRR everywhere in the program (red in the low byte).
using TColor = uint32_t;
constexpr TColor CLR_INVALID = 0xFFFFFFFFu;
// The pen colour that erases: what it paints gets alpha 0. Not a colour of any pixel, nor
// CLR_INVALID; an Alt+click on a pixel whose alpha is 0 picks it.
constexpr TColor ClrTransparent = 0xFF000000u;
constexpr TColor ClrWhite = 0x00FFFFFFu;
constexpr TColor ClrBlack = 0x00000000u;

constexpr TColor RGBColor(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int GetRValue(TColor c) { return int(c & 0xFF); }
constexpr int GetGValue(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return int((c >> 16) & 0xFF); }

constexpr QRgb ColorToQRgb(TColor c)
{
    return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
constexpr TColor QRgbToColor(QRgb q)
{
    return ((q >> 16) & 0xFFu) | (q & 0xFF00u) | ((q & 0xFFu) << 16);
}

// A raster of 24-bit colours, each with an alpha from 0 (transparent) to 255 (opaque). Pixels are
// kept in Qt's ARGB32 layout, not premultiplied, so that the colour under a transparent pixel is
// kept as it came, and so that the view, the clipboard and the file code can hand rows to Qt
// without converting them. Every accessor is clipped: reads outside give CLR_INVALID (argb: 0),
// writes outside do nothing.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height) { setSize(width, height); }

    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }

    bool contains(int x, int y) const { return unsigned(x) < unsigned(width_) && unsigned(y) < unsigned(height_); }
    // Whether every pixel has alpha 255: such a bitmap is written, copied and shown exactly as
    // one without alpha would be.
    bool isOpaque() const;

    // Keeps the shared top-left area; newly exposed pixels are opaque white.
    void setSize(int width, int height);
    void fill(TColor c);
    void fillRect(const TRect& r, TColor c);

    // The colour alone, whatever the pixel's alpha.
    TColor pixel(int x, int y) const
    {
        if (!contains(x, y))
            return CLR_INVALID;
        return QRgbToColor(pixels_[size_t(y) * size_t(width_) + size_t(x)]);
    }
    // Writes the colour, opaque.
    void setPixel(int x, int y, TColor c) { setArgb(x, y, ColorToQRgb(c)); }
    // The whole pixel, alpha included (0 outside).
    QRgb argb(int x, int y) const { return contains(x, y) ? pixels_[size_t(y) * size_t(width_) + size_t(x)] : 0; }
    void setArgb(int x, int y, QRgb v)
    {
        if (contains(x, y))
            pixels_[size_t(y) * size_t(width_) + size_t(x)] = v;
    }

    // Same size and pixels as src; reuses the storage when it is large enough.
    void assign(const Bitmap& src);
    // Copies the block srcRect of src to the block of the same size whose top-left is (dstX, dstY),
    // clipped against both bitmaps.
    void copyRect(int dstX, int dstY, const Bitmap& src, const TRect& srcRect);
    // Draws the whole of src with its top-left at (x, y), clipped.
    void draw(const Bitmap& src, int x, int y) { copyRect(x, y, src, TRect{0, 0, src.width(), src.height()}); }
    // Nearest-neighbour enlargement of the block srcRect of src by a whole factor, placed at
    // (srcRect.Left * factor, srcRect.Top * factor) in this bitmap and clipped to it.
    void stretchBlockFrom(const Bitmap& src, const TRect& srcRect, int factor);
    // Resizes to src * factor and fills it with the enlargement of the whole of src.
    void stretchFrom(const Bitmap& src, int factor);
    // A one-pixel line from (x0, y0) towards (x1, y1), covering the start and stopping one
    // pixel short of the end, as GDI's LineTo does. Only horizontal and vertical lines.
    void drawLineTo(int x0, int y0, int x1, int y1, TColor c);

    QRgb* scanLine(int y) { return pixels_.data() + size_t(y) * size_t(width_); }
    const QRgb* scanLine(int y) const { return pixels_.data() + size_t(y) * size_t(width_); }

    // A QImage of the colours alone (RGB32) that shares this bitmap's pixels; valid until the
    // bitmap is resized or destroyed. For pictures that are opaque by making.
    QImage sharedImage() const;
    // A deep copy: RGB32 when the bitmap is opaque, ARGB32 (not premultiplied) otherwise.
    QImage toImage() const;
    // Colours and alpha of any image, not premultiplied; an image without alpha is opaque.
    static Bitmap fromImage(const QImage& image);

    friend bool operator==(const Bitmap& a, const Bitmap& b)
    {
        return a.width_ == b.width_ && a.height_ == b.height_ && a.pixels_ == b.pixels_;
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<QRgb> pixels_;
};
