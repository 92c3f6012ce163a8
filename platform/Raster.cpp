#include "platform/Raster.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

CRaster::CRaster(QImage& image) {
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        break;
    default:
        return;
    }
    m_format = image.format();
    m_dotsPerMeter = QSize(image.dotsPerMeterX(), image.dotsPerMeterY());
    m_pBits = image.bits();
    m_nStride = image.bytesPerLine();
    m_nWidth = image.width();
    m_nHeight = image.height();
}

void CRaster::Fill(const QRect& rect, QRgb colour) {
    const QRect area = rect.intersected(QRect(0, 0, m_nWidth, m_nHeight));
    if (area.isEmpty())
        return;
    uchar* row = m_pBits + area.top() * m_nStride;
    if (area.width() == 1) {
        // Upright grid lines: one word a row.
        for (int y = area.top(); y <= area.bottom(); ++y, row += m_nStride)
            reinterpret_cast<QRgb*>(row)[area.left()] = colour;
        return;
    }
    for (int y = area.top(); y <= area.bottom(); ++y, row += m_nStride) {
        auto* pixels = reinterpret_cast<QRgb*>(row);
        std::fill(pixels + area.left(), pixels + area.right() + 1, colour);
    }
}

void CRaster::FillColumns(const int* xs, int count, int top, int rows, QRgb colour) {
    const int first = std::max(top, 0), end = std::min(top + rows, m_nHeight);
    int inside[64];
    while (count > 0) {
        // The columns in the image, some at a time.
        int n = 0, used = 0;
        for (; used < count && n < 64; ++used) {
            if (xs[used] >= 0 && xs[used] < m_nWidth)
                inside[n++] = xs[used];
        }
        xs += used;
        count -= used;
        // Four rows at a time, each column read once for them (a time grid
        // has dozens of lines); the rows' cache lines are few enough to stay.
        const qsizetype stride = m_nStride / static_cast<qsizetype>(sizeof(QRgb));
        auto* pixels = reinterpret_cast<QRgb*>(m_pBits + static_cast<qsizetype>(first) * m_nStride);
        int y = first;
        for (; y + 4 <= end; y += 4, pixels += 4 * stride) {
            for (int i = 0; i < n; ++i) {
                QRgb* at = pixels + inside[i];
                at[0] = colour;
                at[stride] = colour;
                at[2 * stride] = colour;
                at[3 * stride] = colour;
            }
        }
        for (; y < end; ++y, pixels += stride) {
            for (int i = 0; i < n; ++i)
                pixels[inside[i]] = colour;
        }
    }
}

void CRaster::Copy(const QImage& source, QPoint at) {
    const QRect area = QRect(at, source.size()).intersected(QRect(0, 0, m_nWidth, m_nHeight));
    if (area.isEmpty())
        return;
    const std::size_t bytes = static_cast<std::size_t>(area.width()) * 4;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar* from = source.constScanLine(y - at.y()) + (area.left() - at.x()) * 4;
        std::memcpy(m_pBits + y * m_nStride + area.left() * 4, from, bytes);
    }
}

namespace {

// Floor division for a positive divisor.
std::int64_t FloorDiv(std::int64_t num, std::int64_t den, std::int64_t& rem) {
    std::int64_t q = num / den;
    rem = num % den;
    if (rem < 0)
        rem += den, --q;
    return q;
}

} // namespace

void CRaster::Line(QPoint a, QPoint b, QRgb colour) {
    if (a.x() == b.x()) {
        // Upright (a dense curve's columns): every pixel from a to b.
        if (a.x() < 0 || a.x() >= m_nWidth)
            return;
        const int top = std::max(std::min(a.y(), b.y()), 0);
        const int bottom = std::min(std::max(a.y(), b.y()), m_nHeight - 1);
        uchar* row = m_pBits + static_cast<qsizetype>(top) * m_nStride;
        for (int y = top; y <= bottom; ++y, row += m_nStride)
            reinterpret_cast<QRgb*>(row)[a.x()] = colour;
        return;
    }
    const std::int64_t dx = std::int64_t{b.x()} - a.x(), dy = std::int64_t{b.y()} - a.y();
    const bool alongX = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    // In the longer axis u (length n, step su) and the shorter v: step k is at
    // u = u0 + su * k, v = v0 + floor((2 * k * dv + n) / (2 * n)).
    const std::int64_t u0 = alongX ? a.x() : a.y(), v0 = alongX ? a.y() : a.x();
    const std::int64_t du = alongX ? dx : dy, dv = alongX ? dy : dx;
    const std::int64_t n = du < 0 ? -du : du, su = du < 0 ? -1 : 1;
    const std::int64_t uSize = alongX ? m_nWidth : m_nHeight;
    const std::int64_t vSize = alongX ? m_nHeight : m_nWidth;
    // The steps whose u lies in the image.
    std::int64_t kFirst = su > 0 ? -u0 : u0 - (uSize - 1);
    std::int64_t kLast = su > 0 ? uSize - 1 - u0 : u0;
    kFirst = std::max<std::int64_t>(kFirst, 0);
    kLast = std::min(kLast, n);
    if (kFirst > kLast)
        return;
    auto inside = [&](std::int64_t v) { return v >= 0 && v < vSize; };
    if (n == 0) {
        if (inside(v0))
            reinterpret_cast<QRgb*>(m_pBits + a.y() * m_nStride)[a.x()] = colour;
        return;
    }
    // Byte offsets: one step along u moves uBytes, one along v vBytes. Kept
    // as numbers, not pointers, while v is outside the image.
    const std::int64_t uBytes = alongX ? su * 4 : su * m_nStride;
    const std::int64_t vBytes = alongX ? m_nStride : 4;
    const std::int64_t u = u0 + su * kFirst;
    std::int64_t rem = 0;
    std::int64_t v = v0 + FloorDiv(2 * kFirst * dv + n, 2 * n, rem);
    std::int64_t at = u * (alongX ? 4 : m_nStride) + v * vBytes;
    const std::int64_t den = 2 * n, step = 2 * dv;
    for (std::int64_t k = kFirst; k <= kLast; ++k, at += uBytes) {
        if (inside(v))
            *reinterpret_cast<QRgb*>(m_pBits + at) = colour;
        rem += step;
        if (rem >= den)
            rem -= den, ++v, at += vBytes;
        else if (rem < 0)
            rem += den, --v, at -= vBytes;
    }
}
