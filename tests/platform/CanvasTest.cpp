#include "platform/Canvas.h"
#include "platform/Raster.h"
#include "platform/TextStamps.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>

namespace {

QImage Noise(QSize size, unsigned seed) {
    QImage image(size, QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, 0xff000000u | (random() & 0xffffffu));
    }
    return image;
}

const QRgb kInk = qRgb(10, 20, 30);

TEST(Raster, LinesClippedToTheImageAreTheUnclippedLinesCut) {
    // Lines with ends well outside a small image, against the same lines in
    // an image large enough to hold them whole.
    const QPoint shift(400, 400);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(-300, 360);
    for (int n = 0; n < 400; ++n) {
        const QPoint a(coordinate(random), coordinate(random));
        const QPoint b(coordinate(random), coordinate(random));
        QImage small(64, 48, QImage::Format_RGB32), whole(900, 900, QImage::Format_RGB32);
        small.fill(Qt::white);
        whole.fill(Qt::white);
        CRaster(small).Line(a, b, kInk);
        CRaster(whole).Line(a + shift, b + shift, kInk);
        ASSERT_EQ(small, whole.copy(QRect(shift, small.size()))) << n;
    }
}

// Along the longer axis each step in the image holds one pixel, the nearest
// to the exact line, also where the line leaves the image or its ends lie a
// billion pixels away; nothing else is inked.
TEST(Raster, LinesTakeTheNearestPixelOfEachStep) {
    const int far = 1000000000;
    const std::vector<std::pair<QPoint, QPoint>> table = {
        {{3, 3}, {3, 3}},       {{0, 0}, {40, 0}},          {{40, 5}, {0, 5}},
        {{5, 0}, {5, 40}},      {{0, 0}, {40, 40}},         {{40, 0}, {0, 40}},
        {{2, 7}, {39, 12}},     {{30, 2}, {25, 44}},        {{1, 40}, {44, 38}},
        {{0, 1}, {6, 4}},       {{-20, 10}, {60, 30}},      {{-far, 5}, {far, 5}},
        {{-far, 0}, {far, 47}}, {{-far, -far}, {far, far}}, {{-far, 40}, {-far + 1, 40}},
        {{5, -far}, {5, far}},  {{47, 60}, {47, -3}},       {{-1, 3}, {-1, 9}},
        {{48, 3}, {48, 9}}};
    for (const auto& [a, b] : table) {
        SCOPED_TRACE(
            QString("%1,%2 to %3,%4").arg(a.x()).arg(a.y()).arg(b.x()).arg(b.y()).toStdString());
        QImage image(48, 48, QImage::Format_RGB32);
        image.fill(Qt::white);
        CRaster(image).Line(a, b, kInk);
        const bool alongX = std::abs(double(b.x()) - a.x()) >= std::abs(double(b.y()) - a.y());
        const double u0 = alongX ? a.x() : a.y(), u1 = alongX ? b.x() : b.y();
        const double v0 = alongX ? a.y() : a.x(), v1 = alongX ? b.y() : b.x();
        const double slope = u1 == u0 ? 0 : (v1 - v0) / (u1 - u0);
        for (int u = 0; u < 48; ++u) {
            int found = 0, at = -1;
            for (int v = 0; v < 48; ++v) {
                if (image.pixel(alongX ? u : v, alongX ? v : u) == kInk)
                    ++found, at = v;
            }
            const double exact = v0 + (u - u0) * slope;
            if (u < std::min(u0, u1) || u > std::max(u0, u1))
                ASSERT_EQ(found, 0) << "step " << u;
            else if (exact > -0.5 && exact < 47.5) // else nearest is off the image, or a tie
                ASSERT_EQ(found, 1) << "step " << u;
            if (found)
                EXPECT_LE(std::abs(at - exact), 0.5) << "step " << u;
        }
    }
}

TEST(Raster, FillsAreThePaintersFills) {
    const std::vector<QRect> table = {QRect(3, 4, 1, 30), QRect(0, 10, 50, 1),
                                      QRect(-5, -5, 20, 20), QRect(30, 30, 40, 40),
                                      QRect(60, 0, 5, 5)};
    for (const QRect& rect : table) {
        QImage ours = Noise({48, 48}, 1), theirs = ours;
        CRaster(ours).Fill(rect, kInk);
        QPainter(&theirs).fillRect(rect, QColor(kInk));
        EXPECT_EQ(ours, theirs);
    }
}

// Upright and level one-pixel lines, filled rather than stroked, drawn into
// an image of the canvas's own and through the painter, against the painter's
// own stroke: either way round, of no length, partly or wholly outside.
TEST(Canvas, UprightAndLevelLinesAreThePaintersLines) {
    const std::vector<std::pair<QPoint, QPoint>> table = {
        {{2, 5}, {8, 5}},     {{8, 5}, {2, 5}},     {{3, 2}, {3, 9}},
        {{3, 9}, {3, 2}},     {{4, 4}, {4, 4}},     {{5, 7}, {6, 7}},
        {{-9, 30}, {20, 30}}, {{40, 60}, {40, 20}}, {{-5, -5}, {-5, 9}}};
    for (const auto& [a, b] : table) {
        QImage theirs = Noise({48, 48}, 3), ownImage = theirs, throughPainter = theirs;
        {
            QPainter painter(&theirs);
            painter.setPen(QPen(QColor(kInk), 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
            painter.drawLine(a, b);
        }
        for (bool own : {true, false}) {
            QImage& image = own ? ownImage : throughPainter;
            QPainter painter(&image);
            CPainterCanvas canvas =
                own ? CPainterCanvas(painter, image) : CPainterCanvas(painter, image.size());
            canvas.SelectPen(CPen{1, QColor(kInk)});
            canvas.Line(a.x(), a.y(), b.x(), b.y());
        }
        const QString line = QString("%1,%2 to %3,%4").arg(a.x()).arg(a.y()).arg(b.x()).arg(b.y());
        EXPECT_TRUE(ownImage == theirs) << line.toStdString() << " into an own image";
        EXPECT_TRUE(throughPainter == theirs) << line.toStdString() << " through the painter";
    }
}

// Upright lines drawn together, a row at a time, against the painter's own
// strokes one by one: some outside, either way round, of no length.
TEST(Canvas, UprightLinesTogetherAreThePaintersLines) {
    struct Case {
        std::vector<int> xs;
        int top, bottom;
    };
    const std::vector<Case> table = {{{2, 5, 9, 47}, 3, 40},  {{-1, 6, 48, 7}, -5, 60},
                                     {{10, 12}, 30, 4},       {{0, 1}, 9, 9},
                                     {{20, 20, 21}, 47, 100}, {{33}, 0, 47}};
    for (const Case& c : table) {
        QImage theirs = Noise({48, 48}, 5), ours = theirs;
        {
            QPainter painter(&theirs);
            painter.setPen(QPen(QColor(kInk), 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
            for (int x : c.xs)
                painter.drawLine(x, c.top, x, c.bottom);
        }
        QPainter painter(&ours);
        CPainterCanvas canvas(painter, ours);
        canvas.SelectPen(CPen{1, QColor(kInk)});
        canvas.UprightLines(c.xs.data(), static_cast<int>(c.xs.size()), c.top, c.bottom);
        painter.end();
        EXPECT_TRUE(ours == theirs) << c.xs.size() << " lines from " << c.top << " to " << c.bottom;
    }
}

// Labels through an image canvas against the painter's own text, on a busy
// background, also on an image of twice the usual resolution (larger type):
// the stamps must not change a pixel.
TEST(TextStamps, StampedTextIsThePaintersText) {
    QFont italic;
    italic.setItalic(true);
    italic.setPointSize(20);
    const int usual = QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX();
    for (int dotsPerMeter : {usual, 2 * usual}) {
        for (const QFont& font : {QFont(), italic}) {
            for (const QString& text : {QString("0"), QString("1000000"), QString("-10"),
                                        QString("fjord"), QString("359.5")}) {
                QImage ours = Noise({260, 90}, 2);
                ours.setDotsPerMeterX(dotsPerMeter);
                ours.setDotsPerMeterY(dotsPerMeter);
                QImage theirs = ours;
                for (int pass = 0; pass < 2; ++pass) { // made, then found in the cache
                    QPainter painter(&ours);
                    painter.setFont(font);
                    CPainterCanvas canvas(painter, ours);
                    canvas.TextOut(7 + pass * 60, 9 + pass, text);
                }
                for (int pass = 0; pass < 2; ++pass) {
                    QPainter painter(&theirs);
                    painter.setFont(font);
                    painter.setBackground(Qt::white);
                    painter.setBackgroundMode(Qt::OpaqueMode);
                    painter.setPen(Qt::black);
                    painter.drawText(
                        QPoint(7 + pass * 60, 9 + pass + painter.fontMetrics().ascent()), text);
                }
                EXPECT_EQ(ours, theirs) << text.toStdString() << (font.italic() ? " italic" : "")
                                        << " at " << dotsPerMeter << " dots a metre";
            }
        }
    }
}

} // namespace
