// The monitoring view's pictures, laid out on the 1023 x 670 reference canvas
// and drawn through a CCanvas: the attitude display (real-time view 1) and the
// live curves (real-time view 2).
#pragma once

#include "platform/Canvas.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

class CMonitorState;
class CNavigation;
struct CLiveValues;

// Window scale: client size over the reference canvas, and where the
// reference canvas's origin lies.
struct CScale {
    double sx = 1.0;
    double sy = 1.0;
    double ox = 0.0;
    double oy = 0.0;
    // One scale for both directions, the smaller, with the reference canvas
    // centred in the window: circles stay circles and angles stay true.
    static CScale Uniform(QSize window) {
        const double s = std::min(window.width() / 1023.0, window.height() / 670.0);
        return {s, s, std::trunc((window.width() - 1023 * s) / 2),
                std::trunc((window.height() - 670 * s) / 2)};
    }
    // Truncated toward zero. Absurd values (a reading of 1e300) are held far
    // outside the window instead of overflowing the conversion.
    int X(double x) const { return Device(ox + x * sx); }
    int Y(double y) const { return Device(oy + y * sy); }
    static int Device(double v) {
        constexpr double kFar = 1e9;
        return static_cast<int>(v > kFar ? kFar : (v < -kFar ? -kFar : v));
    }
};

namespace Pens {
inline const CPen kDial{5, QColor(128, 128, 220)};
inline const CPen kScale{1, QColor(0, 128, 255)};
inline const CPen kPointer{6, QColor(255, 0, 0)};
inline const CPen kStalePointer{6, QColor(160, 160, 160)}; // a value no longer refreshed
inline const CPen kComparedPointer{2, QColor(0, 150, 0)};  // another source's heading
inline const CPen kAxis{1, QColor(0, 0, 0)};
inline const CPen kGrid{1, QColor(128, 128, 128)};
inline const CPen kHeadingCurve{1, QColor(0, 255, 0)};
inline const CPen kPitchCurve{1, QColor(128, 0, 128)};
inline const CPen kRollCurve{1, QColor(255, 0, 0)};
inline const CPen kGap{1, QColor(255, 170, 0)};     // where the live data stopped for a while
inline const CPen kAlarmMark{2, QColor(230, 0, 0)}; // where an alarm started
inline const CPen kLimitMark{3, QColor(230, 0, 0)}; // an alarm limit on its dial
} // namespace Pens

constexpr double kDegreesToRadians = 0.017453292519444445;
constexpr double kQuarterTurn = 1.57079632675;

// A pointer's tail, tip and barbs, scaled to the device and turned by `angle`
// (radians, clockwise on screen) about its scaled centre.
std::array<QPoint, 4> RotatedPointer(const CScale& scale, QPoint centre, QPoint tail, QPoint tip,
                                     QPoint barb1, QPoint barb2, double angle);

// A number with 10 significant digits, a whole one with its decimal point
// ("123.4", "0.", "-2.5", "1.e+20").
QString SignificantText(double value);

// Grey: the colour of a value that is no longer refreshed.
inline const QColor kStaleText(128, 128, 128);

// "数据中断 12 秒": how long a value has not been refreshed.
QString StaleAgeText(std::int64_t ageMs);

// The alarm colour of a value's text.
inline const QColor kAlarmText(200, 0, 0);
// The replay mark's colour.
inline const QColor kReplayMark(0, 80, 160);

// What the displays show beside the values: how a value's alarm looks, the
// limits on the pitch and roll dials, and the replay.
enum class ValueAlarm {
    None,
    Steady, // the text in the alarm colour
    Dark,   // the flashing's other phase: white on the alarm colour
};
struct DisplayMarks {
    ValueAlarm pitch = ValueAlarm::None;
    ValueAlarm roll = ValueAlarm::None;
    int nPitchLimit = -1; // degrees; marked on the dial from 0 on
    int nRollLimit = -1;
    QString strReplay; // while a replay is shown: what it says ("回放 … (1×)")
};

// Real-time view 1 at nowMs, drawn with a uniform scale (CScale::Uniform) so
// that the dials stay round. A quantity never received shows "--" and no
// pointer; one not refreshed for staleMs is drawn grey with its age.
void DrawAttitudeDisplay(CCanvas& canvas, const CScale& scale, const CLiveValues& values,
                         std::int64_t nowMs, std::int64_t staleMs, const DisplayMarks& marks = {});
// The same in two steps: what never changes (dials, scales, their labels),
// which the view keeps as a picture, then the pointers and values over it.
void DrawAttitudeBackground(CCanvas& canvas, const CScale& scale);
void DrawAttitudeForeground(CCanvas& canvas, const CScale& scale, const CLiveValues& values,
                            std::int64_t nowMs, std::int64_t staleMs,
                            const DisplayMarks& marks = {});
// Where the attitude display's dials, their labels and the values lie in a
// window of this size: what a window beside them must keep clear of.
QRect AttitudeDialsRect(QSize window);
// While a replay is shown: its text, white on the replay colour, at the top
// of the display in the middle.
void DrawReplayMark(CCanvas& canvas, const QString& text);

// Real-time view 2. Only what falls in the window is drawn, and dense curves are
// reduced per pixel column, so the cost does not grow with the samples. No line
// is drawn across a gap in the data, nor through a value not yet received.
// While the navigation follows the newest sample, once the samples pass the
// right edge the picture moves left so that the newest stays there.
// Roll is drawn on the pitch axis, both being small angles about level.
struct LiveCurveChoice {
    bool heading = true, pitch = true, roll = true;
};
void DrawLiveCurves(CCanvas& canvas, const CScale& scale, const CMonitorState& state,
                    const CNavigation& navigation, LiveCurveChoice curves = {});
// Heading on the live curves: reference pixels a degree, so that 360 degrees
// fit in the window at the default size.
constexpr double kLiveHeadingScale = 1.8;
// The horizontal pan the live curves are drawn with (following included), in
// reference pixels; the navigation's pan is in the window's pixels, so that a
// drag moves the picture as far as the mouse went.
double LivePanX(const CScale& scale, QSize window, std::size_t samples,
                const CNavigation& navigation);
// After a stretch or shrink from zoomX, zoomY: the pan that keeps the middle
// of the window on the same samples and pitch (while following, the newest
// sample keeps the right edge by itself).
void KeepLiveCentre(const CScale& scale, QSize window, CNavigation& navigation, double zoomX,
                    double zoomY);
// The sample drawn at device column x; -1 where there is none.
long LiveSampleAt(const CScale& scale, QSize window, const CMonitorState& state,
                  const CNavigation& navigation, int x);
// What the status bar says of sample i: index, time since the first sample,
// heading, pitch and, where known, roll.
QString LiveSampleText(const CMonitorState& state, std::size_t i);
