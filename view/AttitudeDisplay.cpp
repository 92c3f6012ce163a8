#include "link/MonitorState.h"
#include "view/Drawing.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdio>

std::array<QPoint, 4> RotatedPointer(const CScale& scale, QPoint centre, QPoint tail, QPoint tip,
                                     QPoint barb1, QPoint barb2, double angle) {
    const int cx = scale.X(centre.x());
    const int cy = scale.Y(centre.y());
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    auto turn = [&](QPoint q) {
        const int dx = scale.X(q.x()) - cx;
        const int dy = scale.Y(q.y()) - cy;
        return QPoint(static_cast<int>(dx * c - dy * s + cx),
                      static_cast<int>(dx * s + dy * c + cy));
    };
    return {turn(tail), turn(tip), turn(barb1), turn(barb2)};
}

QString SignificantText(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    QString out = QString::fromLatin1(text);
    // A whole number keeps its decimal point: "0.", "123.", "1.e+20".
    if (!out.contains('.') && !out.contains("inf") && !out.contains("nan")) {
        const int exponent = out.indexOf('e');
        out.insert(exponent < 0 ? out.size() : exponent, '.');
    }
    return out;
}

namespace {

void Circle(CCanvas& canvas, const CScale& scale, int left, int top, int right, int bottom) {
    canvas.Ellipse(scale.X(left), scale.Y(top), scale.X(right), scale.Y(bottom));
}

void Text(CCanvas& canvas, const CScale& scale, int x, int y, const QString& text) {
    canvas.TextOut(scale.X(x), scale.Y(y), text);
}

void Line(CCanvas& canvas, const CScale& scale, int x1, int y1, int x2, int y2) {
    canvas.Line(scale.X(x1), scale.Y(y1), scale.X(x2), scale.Y(y2));
}

void Pointer(CCanvas& canvas, const std::array<QPoint, 4>& p) {
    canvas.MoveTo(p[0].x(), p[0].y());
    canvas.LineTo(p[1].x(), p[1].y());
    canvas.LineTo(p[2].x(), p[2].y());
    canvas.MoveTo(p[1].x(), p[1].y());
    canvas.LineTo(p[3].x(), p[3].y());
}

// How one quantity is shown at the moment of drawing.
struct Shown {
    bool received;
    bool stale;
    std::int64_t ageMs;
};

Shown Show(const CLiveValues& values, Quantity q, std::int64_t nowMs, std::int64_t staleMs) {
    return {values.Received(q), values.IsStale(q, nowMs, staleMs), values.AgeMs(q, nowMs)};
}

// A pointer, unless its quantity never arrived; grey once it is stale.
void ValuePointer(CCanvas& canvas, const Shown& shown, const std::array<QPoint, 4>& points) {
    if (!shown.received)
        return;
    canvas.SelectPen(shown.stale ? Pens::kStalePointer : Pens::kPointer);
    Pointer(canvas, points);
}

// How high the box behind a value's text is, in device pixels.
constexpr int kTextBoxHeight = 20;

// A value's text: "--" before the first one; grey, with its age, once stale;
// in the alarm colour while its alarm is active.
void ValueText(CCanvas& canvas, const CScale& scale, int y, const Shown& shown, double value,
               const QString& unit = {}, ValueAlarm alarm = ValueAlarm::None) {
    if (!shown.received) {
        Text(canvas, scale, 275, y, "--");
        return;
    }
    const QString text = SignificantText(value) + unit;
    if (shown.stale)
        alarm = ValueAlarm::None; // grey says more: the value is no longer true
    if (alarm == ValueAlarm::Dark) {
        const QRect box(scale.X(275) - 3, scale.Y(y) - 1, canvas.TextWidth(text) + 6,
                        kTextBoxHeight);
        canvas.FillRect(box, kAlarmText);
        canvas.TextBox(box, text, Qt::white, CCanvas::TextLayout::SingleLineCentred);
    } else {
        if (shown.stale)
            canvas.SetTextColour(kStaleText);
        if (alarm == ValueAlarm::Steady)
            canvas.SetTextColour(kAlarmText);
        Text(canvas, scale, 275, y, text);
    }
    if (shown.stale)
        Text(canvas, scale, 380, y,
             QCoreApplication::translate("AttitudeDisplay", "（%1）")
                 .arg(StaleAgeText(shown.ageMs)));
    canvas.SetTextColour(Qt::black);
}

// The limit at ±degrees on the dial about centre: a short stroke outside
// the rim where each end of the pointer would stand.
void LimitMarks(CCanvas& canvas, const CScale& scale, QPoint centre, int degrees) {
    if (degrees < 0)
        return;
    canvas.SelectPen(Pens::kLimitMark);
    for (int sign : {1, -1}) {
        const double angle = sign * degrees * kDegreesToRadians - kQuarterTurn;
        for (int end : {1, -1}) {
            const QPoint inner(centre.x(), centre.y() - end * 129);
            const QPoint outer(centre.x(), centre.y() - end * 145);
            const auto p = RotatedPointer(scale, centre, inner, outer, outer, outer, angle);
            canvas.Line(p[0].x(), p[0].y(), p[1].x(), p[1].y());
        }
    }
}

} // namespace

QRect AttitudeDialsRect(QSize window) {
    const CScale scale = CScale::Uniform(window);
    // From "西" at 75 to "后" and "右" at 755 and the sources' labels beyond,
    // from the titles at 30 to the last value's row.
    return QRect(QPoint(scale.X(60), scale.Y(20)), QPoint(scale.X(800), scale.Y(670)));
}

void DrawReplayMark(CCanvas& canvas, const QString& text) {
    if (text.isEmpty())
        return;
    const int width = canvas.TextWidth(text) + 16;
    const QRect box((canvas.Size().width() - width) / 2, 2, width, kTextBoxHeight + 2);
    canvas.FillRect(box, kReplayMark);
    canvas.TextBox(box.adjusted(8, 0, 0, 0), text, Qt::white,
                   CCanvas::TextLayout::SingleLineCentred);
}

QString StaleAgeText(std::int64_t ageMs) {
    const std::int64_t seconds = ageMs / 1000;
    if (seconds < 120)
        return QCoreApplication::translate("AttitudeDisplay", "数据中断 %1 秒").arg(seconds);
    if (seconds < 7200)
        return QCoreApplication::translate("AttitudeDisplay", "数据中断 %1 分钟").arg(seconds / 60);
    return QCoreApplication::translate("AttitudeDisplay", "数据中断 %1 小时 %2 分钟")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60);
}

void DrawAttitudeBackground(CCanvas& canvas, const CScale& scale) {
    canvas.SelectPen(Pens::kDial);
    Circle(canvas, scale, 95, 95, 405, 405);
    Circle(canvas, scale, 500, 50, 750, 300);
    Text(canvas, scale, 600, 30, QCoreApplication::translate("AttitudeDisplay", "俯仰角"));
    Circle(canvas, scale, 500, 400, 750, 650);
    Text(canvas, scale, 600, 380, QCoreApplication::translate("AttitudeDisplay", "横滚角"));

    canvas.SelectPen(Pens::kScale);
    Text(canvas, scale, 220, 30, QCoreApplication::translate("AttitudeDisplay", "航向指示"));
    Text(canvas, scale, 75, 241, QCoreApplication::translate("AttitudeDisplay", "西"));
    Text(canvas, scale, 410, 241, QCoreApplication::translate("AttitudeDisplay", "东"));
    Text(canvas, scale, 242, 410, QCoreApplication::translate("AttitudeDisplay", "南"));
    Text(canvas, scale, 242, 75, QCoreApplication::translate("AttitudeDisplay", "北"));
    for (int inset = 95; inset <= 215; inset += 30)
        Circle(canvas, scale, inset, inset, 500 - inset, 500 - inset);
    Line(canvas, scale, 95, 250, 405, 250);
    Line(canvas, scale, 250, 405, 250, 95);
}

void DrawAttitudeForeground(CCanvas& canvas, const CScale& scale, const CLiveValues& values,
                            std::int64_t nowMs, std::int64_t staleMs, const DisplayMarks& marks) {
    const Shown heading = Show(values, Quantity::Heading, nowMs, staleMs);
    const Shown pitch = Show(values, Quantity::Pitch, nowMs, staleMs);
    const Shown roll = Show(values, Quantity::Roll, nowMs, staleMs);
    const Shown position = Show(values, Quantity::Position, nowMs, staleMs);

    // The heading it is compared with, another source's: a thin pointer under
    // the shown one, while fresh.
    if (values.m_nComparedMs >= 0 && nowMs - values.m_nComparedMs <= staleMs) {
        canvas.SelectPen(Pens::kComparedPointer);
        Pointer(canvas, RotatedPointer(scale, {250, 250}, {250, 250}, {250, 100}, {246, 118},
                                       {254, 118}, values.m_dComparedHeading * kDegreesToRadians));
        canvas.SelectPen(Pens::kScale);
        Text(canvas, scale, 220, 468,
             QCoreApplication::translate("AttitudeDisplay", "细针：%1 %2")
                 .arg(QString::fromStdString(values.m_strComparedSource),
                      SignificantText(values.m_dComparedHeading)));
    }
    ValuePointer(canvas, heading,
                 RotatedPointer(scale, {250, 250}, {250, 400}, {250, 100}, {245, 130}, {255, 130},
                                values.m_dHeading * kDegreesToRadians));

    canvas.SelectPen(Pens::kScale);
    Line(canvas, scale, 500, 175, 750, 175);
    Line(canvas, scale, 500, 525, 750, 525);

    LimitMarks(canvas, scale, {625, 175}, marks.nPitchLimit);
    LimitMarks(canvas, scale, {625, 525}, marks.nRollLimit);
    ValuePointer(canvas, pitch,
                 RotatedPointer(scale, {625, 175}, {625, 300}, {625, 50}, {620, 70}, {630, 70},
                                values.m_dPitch * kDegreesToRadians - kQuarterTurn));
    Text(canvas, scale, 480, 168, QCoreApplication::translate("AttitudeDisplay", "前"));
    Text(canvas, scale, 755, 168, QCoreApplication::translate("AttitudeDisplay", "后"));
    Text(canvas, scale, 480, 518, QCoreApplication::translate("AttitudeDisplay", "左"));
    Text(canvas, scale, 755, 518, QCoreApplication::translate("AttitudeDisplay", "右"));
    Text(canvas, scale, 620, 306, QCoreApplication::translate("AttitudeDisplay", "下"));
    Text(canvas, scale, 620, 656, QCoreApplication::translate("AttitudeDisplay", "下"));
    ValuePointer(canvas, roll,
                 RotatedPointer(scale, {625, 525}, {625, 650}, {625, 400}, {620, 420}, {630, 420},
                                values.m_dRoll * kDegreesToRadians - kQuarterTurn));

    // With several sources, the dials say which one they show.
    const auto source = [&](Quantity q, int x, int y) {
        const std::string& label = values.m_strSource[static_cast<int>(q)];
        if (!label.empty())
            Text(canvas, scale, x, y,
                 QCoreApplication::translate("AttitudeDisplay", "来源：%1")
                     .arg(QString::fromStdString(label)));
    };
    source(Quantity::Heading, 220, 52);
    source(Quantity::Pitch, 680, 30);
    source(Quantity::Roll, 680, 380);

    Text(canvas, scale, 150, 500, QCoreApplication::translate("AttitudeDisplay", "方位角为："));
    ValueText(canvas, scale, 500, heading, values.m_dHeading);
    Text(canvas, scale, 150, 530, QCoreApplication::translate("AttitudeDisplay", "俯仰角为："));
    ValueText(canvas, scale, 530, pitch, values.m_dPitch, {}, marks.pitch);
    Text(canvas, scale, 150, 560, QCoreApplication::translate("AttitudeDisplay", "经度为："));
    ValueText(canvas, scale, 560, position, values.m_dLongitude);
    Text(canvas, scale, 150, 590, QCoreApplication::translate("AttitudeDisplay", "纬度为："));
    ValueText(canvas, scale, 590, position, values.m_dLatitude);
    Text(canvas, scale, 150, 620, QCoreApplication::translate("AttitudeDisplay", "横滚角为："));
    ValueText(canvas, scale, 620, roll, values.m_dRoll, {}, marks.roll);
    // A gyro's or an autopilot's rate of turn, once one has come: a value,
    // never a pointer, in degrees a minute (negative: the bow swings to port).
    if (const Shown rate = Show(values, Quantity::RateOfTurn, nowMs, staleMs); rate.received) {
        Text(canvas, scale, 150, 650, QCoreApplication::translate("AttitudeDisplay", "转向速率："));
        ValueText(canvas, scale, 650, rate, values.m_dRateOfTurn,
                  QCoreApplication::translate("AttitudeDisplay", " °/分"));
    }
    DrawReplayMark(canvas, marks.strReplay);
}

void DrawAttitudeDisplay(CCanvas& canvas, const CScale& scale, const CLiveValues& values,
                         std::int64_t nowMs, std::int64_t staleMs, const DisplayMarks& marks) {
    DrawAttitudeBackground(canvas, scale);
    DrawAttitudeForeground(canvas, scale, values, nowMs, staleMs, marks);
}
