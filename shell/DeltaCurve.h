// The difference of two heading sources over the last minutes, as a curve
// between the limit's two lines: how it came to the alarm, or how close it
// runs.
#pragma once

#include "link/HeadingCompare.h"

#include <QString>
#include <QWidget>
#include <vector>

class CDeltaCurve : public QWidget {
    Q_OBJECT
public:
    explicit CDeltaCurve(QWidget* parent = nullptr);

    // points oldest first; drawn over the kHistoryMs before nowMs.
    void SetCurve(const QString& title, std::vector<CHeadingCompare::DeltaPoint> points,
                  double limit, std::int64_t nowMs);
    std::size_t Points() const { return m_points.size(); }
    // The half-height of the curve's scale in degrees: the limit's lines
    // at half of it, unless the curve goes further.
    double Span() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_strTitle;
    std::vector<CHeadingCompare::DeltaPoint> m_points;
    double m_dLimit = 3;
    std::int64_t m_nNowMs = 0;
};
