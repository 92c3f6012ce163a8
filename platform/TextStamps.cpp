#include "platform/TextStamps.h"

#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace {

struct Stamp {
    QImage image;  // empty: the text draws outside its box and is not stamped
    QPoint offset; // of the image's top-left from the baseline point
};

// Draws the text at the baseline point onto an image filled with one colour,
// with the painter's text state and the target's format and resolution.
QImage Probe(const QPainter& painter, const CRaster& target, QSize size, QPoint baseline,
             const QString& text, QColor fill) {
    QImage probe(size, target.Format());
    probe.setDotsPerMeterX(target.DotsPerMeter().width());
    probe.setDotsPerMeterY(target.DotsPerMeter().height());
    probe.fill(fill);
    QPainter p(&probe);
    p.setFont(painter.font());
    p.setPen(painter.pen());
    p.setBackground(painter.background());
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setRenderHints(painter.renderHints());
    p.setLayoutDirection(painter.layoutDirection());
    p.drawText(baseline, text);
    return probe;
}

// Draws the text twice, on two backgrounds: the pixels that come out the same
// are the ones it covers. Stamped only when they form a rectangle and no
// other pixel was touched.
Stamp MakeStamp(const QPainter& painter, const CRaster& target, const QString& text) {
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect box(0, -metrics.ascent(), metrics.horizontalAdvance(text), metrics.height());
    const QRect probeArea = box.united(metrics.boundingRect(text)).adjusted(-4, -4, 4, 4);
    const QPoint baseline = -probeArea.topLeft();
    const QColor first(255, 0, 255), second(0, 255, 0);
    const QImage a = Probe(painter, target, probeArea.size(), baseline, text, first);
    const QImage b = Probe(painter, target, probeArea.size(), baseline, text, second);
    QRect covered;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) == b.pixel(x, y))
                covered |= QRect(x, y, 1, 1);
        }
    }
    if (covered.isEmpty())
        return {};
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const bool inside = covered.contains(x, y);
            const bool same = a.pixel(x, y) == b.pixel(x, y);
            const bool untouched = a.pixel(x, y) == first.rgb() && b.pixel(x, y) == second.rgb();
            if (inside != same || (!inside && !untouched))
                return {};
        }
    }
    return {a.copy(covered), covered.topLeft() - baseline};
}

} // namespace

bool StampText(QPainter& painter, CRaster& target, QPoint baseline, const QString& text) {
    if (painter.backgroundMode() != Qt::OpaqueMode ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        painter.hasClipping() || !painter.transform().isIdentity() || painter.opacity() != 1.0 ||
        painter.background().style() != Qt::SolidPattern ||
        painter.background().color().alpha() != 255 || painter.pen().style() != Qt::SolidLine)
        return false;

    // The texts of each painter state (font, colours, hints, the target's
    // format and resolution) seen; there are few. Kept to the end of the
    // process (a font must not outlive the application object that made it).
    struct State {
        QFont font;
        QRgb pen, background;
        int hints;
        QImage::Format format;
        QSize dotsPerMeter;
        QHash<QString, Stamp> texts;
        bool Matches(const QPainter& p, const CRaster& t) const {
            return format == t.Format() && dotsPerMeter == t.DotsPerMeter() &&
                   pen == p.pen().color().rgba() && background == p.background().color().rgba() &&
                   hints == int(p.renderHints()) && font == p.font();
        }
    };
    static auto& states = *new std::vector<State>;
    static std::size_t stampCount = 0;
    auto state = std::find_if(states.begin(), states.end(),
                              [&](const State& s) { return s.Matches(painter, target); });
    // Texts that change with every message would fill them without end.
    if (stampCount >= 4096 || (state == states.end() && states.size() >= 16)) {
        states.clear();
        stampCount = 0;
        state = states.end();
    }
    if (state == states.end()) {
        states.push_back({painter.font(),
                          painter.pen().color().rgba(),
                          painter.background().color().rgba(),
                          int(painter.renderHints()),
                          target.Format(),
                          target.DotsPerMeter(),
                          {}});
        state = states.end() - 1;
    }
    auto found = state->texts.constFind(text);
    if (found == state->texts.constEnd()) {
        found = state->texts.insert(text, MakeStamp(painter, target, text));
        ++stampCount;
    }
    if (found->image.isNull())
        return false;
    target.Copy(found->image, baseline + found->offset);
    return true;
}
