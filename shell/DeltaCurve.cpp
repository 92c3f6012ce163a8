#include "shell/DeltaCurve.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

CDeltaCurve::CDeltaCurve(QWidget* parent) : QWidget(parent) {
    setObjectName("deltaCurve");
    setMinimumHeight(110);
}

void CDeltaCurve::SetCurve(const QString& title, std::vector<CHeadingCompare::DeltaPoint> points,
                           double limit, std::int64_t nowMs) {
    m_strTitle = title;
    m_points = std::move(points);
    m_dLimit = limit;
    m_nNowMs = nowMs;
    update();
}

double CDeltaCurve::Span() const {
    double span = 2 * m_dLimit;
    for (const auto& p : m_points)
        span = std::max(span, std::fabs(static_cast<double>(p.delta)) * 1.1);
    return span;
}

void CDeltaCurve::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QRectF area = QRectF(rect()).adjusted(40, 18, -8, -6);
    const double span = Span();
    const double window = static_cast<double>(CHeadingCompare::kHistoryMs);
    const auto x = [&](std::int64_t atMs) {
        return area.right() - static_cast<double>(m_nNowMs - atMs) / window * area.width();
    };
    const auto y = [&](double delta) {
        return area.center().y() - delta / span * area.height() / 2;
    };

    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPointF(area.left(), 13), m_strTitle);
    painter.drawText(QRectF(0, y(m_dLimit) - 8, 36, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QString("+%1°").arg(m_dLimit, 0, 'g', 3));
    painter.drawText(QRectF(0, y(-m_dLimit) - 8, 36, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QString("-%1°").arg(m_dLimit, 0, 'g', 3));
    painter.setPen(QPen(QColor(128, 128, 128), 1));
    painter.drawLine(QPointF(area.left(), y(0)), QPointF(area.right(), y(0)));
    painter.setPen(QPen(QColor(230, 0, 0), 1, Qt::DashLine));
    for (double limit : {m_dLimit, -m_dLimit})
        painter.drawLine(QPointF(area.left(), y(limit)), QPointF(area.right(), y(limit)));

    // Points further apart than a comparison can be leave a gap: the pair was
    // not compared meanwhile.
    QPainterPath path;
    std::int64_t lastMs = 0;
    bool open = false;
    for (const auto& p : m_points) {
        if (m_nNowMs - p.atMs > CHeadingCompare::kHistoryMs)
            continue;
        const QPointF at(x(p.atMs), y(p.delta));
        if (open && p.atMs - lastMs <= 2000)
            path.lineTo(at);
        else
            path.moveTo(at);
        open = true;
        lastMs = p.atMs;
    }
    painter.setPen(QPen(QColor(0, 150, 0), 1.5));
    painter.drawPath(path);
}
