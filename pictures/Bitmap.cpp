// SPDX-License-Identifier: MIT
#include "pictures/Bitmap.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;

// Clips a copy of a w x h block from (sx, sy) in a source of size (sw, sh) to (dx, dy) in a
// destination of size (dw, dh). Works in 64 bits so that huge offsets cannot overflow.
struct BlockCopy {
    int sx, sy, dx, dy, w, h;
};

bool clipBlock(int64_t sx, int64_t sy, int64_t dx, int64_t dy, int64_t w, int64_t h, int64_t sw, int64_t sh,
               int64_t dw, int64_t dh, BlockCopy& out)
{
    if (sx < 0) { dx -= sx; w += sx; sx = 0; }
    if (sy < 0) { dy -= sy; h += sy; sy = 0; }
    if (dx < 0) { sx -= dx; w += dx; dx = 0; }
    if (dy < 0) { sy -= dy; h += dy; dy = 0; }
    w = std::min({w, sw - sx, dw - dx});
    h = std::min({h, sh - sy, dh - dy});
    if (w <= 0 || h <= 0)
        return false;
    out = BlockCopy{int(sx), int(sy), int(dx), int(dy), int(w), int(h)};
    return true;
}

} // namespace

bool Bitmap::isOpaque() const
{
    return std::all_of(pixels_.begin(), pixels_.end(), [](QRgb p) { return qAlpha(p) == 255; });
}

void Bitmap::setSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_)
        return;
    if (width == width_) {
        pixels_.resize(size_t(width) * size_t(height), kWhite);
        height_ = height;
        return;
    }
    std::vector<QRgb> resized(size_t(width) * size_t(height), kWhite);
    const int keepW = std::min(width, width_);
    const int keepH = std::min(height, height_);
    for (int y = 0; y < keepH && keepW > 0; ++y)
        std::memcpy(resized.data() + size_t(y) * size_t(width), scanLine(y), size_t(keepW) * sizeof(QRgb));
    pixels_.swap(resized);
    width_ = width;
    height_ = height;
}

void Bitmap::fill(TColor c)
{
    std::fill(pixels_.begin(), pixels_.end(), ColorToQRgb(c));
}

void Bitmap::fillRect(const TRect& r, TColor c)
{
    const int left = std::max(r.Left, 0), top = std::max(r.Top, 0);
    const int right = std::min(r.Right, width_), bottom = std::min(r.Bottom, height_);
    const QRgb q = ColorToQRgb(c);
    for (int y = top; y < bottom; ++y)
        std::fill(scanLine(y) + left, scanLine(y) + std::max(left, right), q);
}

void Bitmap::assign(const Bitmap& src)
{
    if (this == &src)
        return;
    width_ = src.width_;
    height_ = src.height_;
    pixels_.resize(src.pixels_.size());
    if (!pixels_.empty())
        std::memcpy(pixels_.data(), src.pixels_.data(), pixels_.size() * sizeof(QRgb));
}

void Bitmap::copyRect(int dstX, int dstY, const Bitmap& src, const TRect& srcRect)
{
    BlockCopy c;
    if (!clipBlock(srcRect.Left, srcRect.Top, dstX, dstY, int64_t(srcRect.Right) - srcRect.Left,
                   int64_t(srcRect.Bottom) - srcRect.Top, src.width_, src.height_, width_, height_, c))
        return;
    // memmove: source and destination may be the same bitmap.
    for (int y = 0; y < c.h; ++y) {
        const int row = (this == &src && c.dy > c.sy) ? c.h - 1 - y : y;
        std::memmove(scanLine(c.dy + row) + c.dx, src.scanLine(c.sy + row) + c.sx, size_t(c.w) * sizeof(QRgb));
    }
}

void Bitmap::stretchBlockFrom(const Bitmap& src, const TRect& srcRect, int factor)
{
    if (factor < 1)
        return;
    const int left = std::max(srcRect.Left, 0), top = std::max(srcRect.Top, 0);
    const int right = std::min({srcRect.Right, src.width_, width_ / factor + 1});
    const int bottom = std::min({srcRect.Bottom, src.height_, height_ / factor + 1});
    if (left >= right || top >= bottom)
        return;
    const int dstLeft = left * factor;
    const int dstRight = std::min(right * factor, width_);
    if (dstLeft >= dstRight)
        return;
    for (int y = top; y < bottom; ++y) {
        const int dstTop = y * factor;
        if (dstTop >= height_)
            break;
        // Scale one row, then copy it down: the copies run at memcpy speed.
        QRgb* first = scanLine(dstTop);
        const QRgb* s = src.scanLine(y);
        for (int x = left; x < right; ++x) {
            QRgb* d = first + x * factor;
            const int n = std::min(factor, dstRight - x * factor);
            std::fill(d, d + n, s[x]);
        }
        const int rows = std::min(factor, height_ - dstTop);
        const size_t bytes = size_t(dstRight - dstLeft) * sizeof(QRgb);
        for (int r = 1; r < rows; ++r)
            std::memcpy(scanLine(dstTop + r) + dstLeft, first + dstLeft, bytes);
    }
}

void Bitmap::stretchFrom(const Bitmap& src, int factor)
{
    factor = std::max(factor, 1);
    const int w = src.width_ * factor, h = src.height_ * factor;
    if (w != width_ || h != height_) {
        // Every pixel is overwritten below, so there is nothing to keep.
        width_ = w;
        height_ = h;
        pixels_.resize(size_t(w) * size_t(h));
    }
    stretchBlockFrom(src, TRect{0, 0, src.width_, src.height_}, factor);
}

void Bitmap::drawLineTo(int x0, int y0, int x1, int y1, TColor c)
{
    const QRgb q = ColorToQRgb(c);
    if (y0 == y1) {
        if (unsigned(y0) >= unsigned(height_) || x0 == x1)
            return;
        // Covers x0 and stops one short of x1, in either direction.
        const int from = x0 < x1 ? x0 : x1 + 1;
        const int to = x0 < x1 ? x1 - 1 : x0;
        for (int x = std::max(from, 0); x <= std::min(to, width_ - 1); ++x)
            scanLine(y0)[x] = q;
    } else if (x0 == x1) {
        if (unsigned(x0) >= unsigned(width_))
            return;
        const int from = y0 < y1 ? y0 : y1 + 1;
        const int to = y0 < y1 ? y1 - 1 : y0;
        for (int y = std::max(from, 0); y <= std::min(to, height_ - 1); ++y)
            scanLine(y)[x0] = q;
    }
}

QImage Bitmap::sharedImage() const
{
    if (isEmpty())
        return QImage();
    return QImage(reinterpret_cast<const uchar*>(pixels_.data()), width_, height_,
                  qsizetype(width_) * qsizetype(sizeof(QRgb)), QImage::Format_RGB32);
}

QImage Bitmap::toImage() const
{
    if (isOpaque())
        return sharedImage().copy();
    return QImage(reinterpret_cast<const uchar*>(pixels_.data()), width_, height_,
                  qsizetype(width_) * qsizetype(sizeof(QRgb)), QImage::Format_ARGB32)
        .copy();
}

Bitmap Bitmap::fromImage(const QImage& image)
{
    Bitmap out;
    if (image.isNull())
        return out;
    // ARGB32 (not premultiplied) keeps the colour values of translucent pixels as they are.
    const bool alpha = image.hasAlphaChannel();
    const QImage src = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    out.width_ = src.width();
    out.height_ = src.height();
    out.pixels_.resize(size_t(out.width_) * size_t(out.height_));
    for (int y = 0; y < out.height_; ++y) {
        const QRgb* s = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        QRgb* d = out.scanLine(y);
        // RGB32 leaves the top byte undefined.
        const QRgb opaque = alpha ? 0 : 0xFF000000u;
        for (int x = 0; x < out.width_; ++x)
            d[x] = s[x] | opaque;
    }
    return out;
}
