// The analysis view's frame: how a record index and a value become a pixel
// (window scale, stretch factors, the centre-zoom chain or the area zoom, pan)
// and the time grid every analysis curve draws first.
#pragma once

#include "platform/Canvas.h"
#include "plots/Samples.h"

#include <QPoint>
#include <QString>
#include <cstdint>
#include <limits>

// The centre-zoom chain the navigation state applies to plot coordinates.
class IZoomChain {
public:
    virtual ~IZoomChain() = default;
    virtual double ChainX(double v) const = 0;
    virtual double ChainY(double v) const = 0;
    // No step in the chain: both leave a coordinate as it is.
    virtual bool Identity() const { return false; }
};

struct CPlotFrame {
    double sx = 1, sy = 1; // window scale
    double hz = 1, vz = 1; // stretch of the time and value axes
    double s = 1;          // centre-zoom step
    QPoint c0;             // first zoom-in centre
    int panX = 0, panY = 0;
    bool area = false; // an area zoom is set
    double L = 0, T = 0, W = 0, H = 0;
    int d = 0;           // net zoom depth
    std::uint64_t N = 0; // records
    const IZoomChain* chain = nullptr;
    // When set, the grid lines are labelled with the clock time (UTC) of
    // their record instead of its number.
    const AnalysisTimes* times = nullptr;

    // Time position of record i: the N records span 1000 reference pixels at hz = 1.
    double TimeX(double i) const { return i * sx * hz * 1000 / static_cast<double>(N); }
    // Pixel (before truncation) of a time position and of a value position.
    double MapX(double x) const {
        if (area)
            return ((x - L) * 1023 / W - c0.x()) * s + c0.x() + panX;
        return chain->ChainX(x) + panX;
    }
    double MapY(double y) const {
        if (area)
            return ((y - T) * 670 / H - c0.y()) * s + c0.y() + panY;
        return chain->ChainY(y) + panY;
    }
};

// Truncation toward zero of a pixel coordinate, held far outside the window
// when absurd.
inline int Pixel(double v) {
    constexpr double kFar = 1e9;
    return static_cast<int>(v > kFar ? kFar : (v < -kFar ? -kFar : v));
}

// Labels along one axis, in drawing order: a label is left out that would
// touch the one before it or reach past either end given, so that labels
// are never cut at an edge nor run together where the window is small.
class CLabelThinning {
public:
    CLabelThinning(int low, int high) : m_nLow(low), m_nHigh(high) {}
    // Whether a label starting there could be taken (whatever its end).
    bool Fits(int start) const { return start > m_nLastEnd + 1 && start >= m_nLow; }
    // Whether the label from start to end (its far side) is drawn; taken if so.
    bool Take(int start, int end) {
        if (start <= m_nLastEnd + 1 || start < m_nLow || end > m_nHigh)
            return false;
        m_nLastEnd = end;
        return true;
    }

private:
    int m_nLow, m_nHigh;
    int m_nLastEnd = std::numeric_limits<int>::min();
};

// The record count at the top and the vertical time grid with its labels.
// "hh:mm:ss" of a UTC time in milliseconds (a grid label).
QString GridClockLabel(std::int64_t utcMs);
void DrawTimeGrid(CCanvas& canvas, const CPlotFrame& frame);
