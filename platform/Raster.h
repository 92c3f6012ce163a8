// One-pixel opaque drawing straight into a 32-bit image, for the pictures the
// views draw into an image of their own (no clip, no transform): many times
// quicker than the painter's per-pixel span calls for long grid lines and
// curves of thousands of points.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

class CRaster {
public:
    // Null (IsValid() false) unless the image's pixels are 32-bit words.
    explicit CRaster(QImage& image);
    bool IsValid() const { return m_pBits != nullptr; }
    QImage::Format Format() const { return m_format; }
    // The image's resolution, which fonts are sized by.
    QSize DotsPerMeter() const { return m_dotsPerMeter; }

    // Fills the rectangle's pixels that lie in the image.
    void Fill(const QRect& rect, QRgb colour);
    // Fills the one-pixel columns at xs from row top down `rows` rows (as
    // far as they lie in the image), a row at a time.
    void FillColumns(const int* xs, int count, int top, int rows, QRgb colour);

    // A line of one-pixel width from a to b, both ends included: the pixel of
    // each step along the longer axis is the nearest to the exact line
    // (halves round down the screen and to the right). Ends far outside the
    // image cost no more than the part inside.
    void Line(QPoint a, QPoint b, QRgb colour);

    // Copies an image of the same format with its top-left corner at a point,
    // as far as it lies in the image.
    void Copy(const QImage& source, QPoint at);

private:
    QImage::Format m_format = QImage::Format_Invalid;
    QSize m_dotsPerMeter;
    uchar* m_pBits = nullptr;
    qsizetype m_nStride = 0;
    int m_nWidth = 0, m_nHeight = 0;
};
