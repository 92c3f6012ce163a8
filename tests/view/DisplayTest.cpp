#include "link/MonitorState.h"
#include "shell/CommandIds.h"
#include "support/TestSupport.h"
#include "tools/Simulator.h"
#include "view/Drawing.h"
#include "view/Navigation.h"
#include "view/QuillmarView.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QSignalSpy>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace {

using Kind = CRecordingCanvas::Kind;

// The four strokes of a pointer: tail-tip, tip-barb1, tip-barb2 (after a move).
std::vector<std::pair<QPoint, QPoint>> PointerStrokes(const CRecordingCanvas& canvas, int which) {
    std::vector<std::pair<QPoint, QPoint>> strokes;
    for (const auto* line : canvas.Lines(Pens::kPointer))
        strokes.emplace_back(line->points[0], line->points[1]);
    return {strokes.begin() + which * 3, strokes.begin() + which * 3 + 3};
}

// Values as interpretation leaves them, received at 0 ms; no roll: never received.
CLiveValues Values(const char* heading, const char* pitch, const char* roll = nullptr) {
    CMonitorState state;
    state.InterpretText(
        roll ? CInstrumentSimulator::WithNmeaChecksum(
                   QString("$PSAT,HPR,0,%1,%2,%3,N").arg(heading, pitch, roll).toStdString())
             : QString("$C%1,%2\r\n").arg(heading, pitch).toStdString(),
        0);
    return state.Values();
}

CRecordingCanvas DrawDisplay(const CLiveValues& values, std::int64_t nowMs = 0,
                             QSize size = QSize(1023, 670)) {
    CRecordingCanvas canvas(size);
    DrawAttitudeDisplay(canvas, CScale::Uniform(size), values, nowMs, 3000);
    return canvas;
}

// Positive pitch lifts the front ("前", on the left); on other window shapes
// one scale, the picture centred, keeps the dials round and 90 degrees east.
TEST(AttitudeDisplay, PointersLandWhereTheirAnglesSayOnAnyWindowShape) {
    struct Case {
        const char *heading, *pitch, *roll;
        int which; // 0 heading, 1 pitch, 2 roll
        QPoint tail, tip, barb1, barb2;
        QSize size = {1023, 670};
    };
    const std::vector<Case> table = {
        {"0", "0", "0", 0, {250, 400}, {250, 100}, {245, 130}, {255, 130}},
        {"90", "0", "0", 0, {100, 250}, {400, 249}, {369, 244}, {370, 254}},
        {"0", "0", "0", 1, {750, 175}, {500, 174}, {519, 179}, {520, 169}},
        {"0", "10", "0", 1, {748, 196}, {501, 153}, {520, 161}, {522, 151}},
        {"0", "0", "0", 2, {750, 525}, {500, 524}, {519, 529}, {520, 519}},
        {"0", "0", "90", 2, {625, 650}, {625, 400}, {620, 420}, {630, 420}},
        {"90", "0", "0", 0, {611, 250}, {911, 249}, {880, 244}, {881, 254}, {2046, 670}},
        {"90", "0", "0", 0, {100, 585}, {400, 584}, {369, 579}, {370, 589}, {1023, 1340}},
        {"90", "0", "0", 0, {49, 124}, {199, 123}, {183, 121}, {184, 126}, {511, 335}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(testing::Message() << c.heading << "/" << c.pitch << "/" << c.roll << " on "
                                        << c.size.width() << "x" << c.size.height());
        const CRecordingCanvas canvas = DrawDisplay(Values(c.heading, c.pitch, c.roll), 0, c.size);
        const auto strokes = PointerStrokes(canvas, c.which);
        EXPECT_EQ(strokes[0], std::make_pair(c.tail, c.tip));
        EXPECT_EQ(strokes[1], std::make_pair(c.tip, c.barb1));
        EXPECT_EQ(strokes[2], std::make_pair(c.tip, c.barb2));
        const QPoint dial = canvas.m_items[0].points[1] - canvas.m_items[0].points[0];
        EXPECT_EQ(dial.x(), dial.y());
    }
}

TEST(AttitudeDisplay, ValuesAreWrittenWithTenSignificantDigits) {
    CMonitorState state;
    state.InterpretText("$GPGGA,1,3110.4567,N,12129.8765,E,1\r\n");
    state.InterpretText("$PASHR,130711.000,123.4,T,7.25,-2.5,0.02\r\n");
    const CRecordingCanvas canvas = DrawDisplay(state.Values());
    const std::map<QString, QPoint> expected = {
        {"方位角为：", {150, 500}}, {"123.4", {275, 500}},   {"-2.5", {275, 530}},
        {"横滚角为：", {150, 620}}, {"7.25", {275, 620}},    {"12129.8765", {275, 560}},
        {"3110.4567", {275, 590}},  {"航向指示", {220, 30}}, {"北", {242, 75}},
        {"俯仰角", {600, 30}},      {"下", {620, 306}},
    };
    for (const auto& [text, at] : expected) {
        const auto* item = canvas.FindText(text);
        ASSERT_TRUE(item) << text.toStdString();
        EXPECT_EQ(item->points[0], at) << text.toStdString();
        EXPECT_EQ(item->colour, QColor(Qt::black)) << text.toStdString();
    }
    EXPECT_EQ(SignificantText(0), "0.");
    EXPECT_EQ(SignificantText(1234567890123.0), "1.23456789e+12");
    EXPECT_EQ(SignificantText(1e20), "1.e+20");
}

// A value never received reads "--" and has no pointer; one not refreshed
// for the stale time is grey, with its age; a fresh one is red again at once.
TEST(AttitudeDisplay, AbsentAndStaleValuesDoNotLookLive) {
    struct Case {
        const char* name;
        std::int64_t headingAtMs, pitchAtMs; // -1: never received
        std::int64_t nowMs;
        std::size_t redStrokes, greyStrokes; // three a pointer
        std::vector<int> dashedRows;
        bool pitchGrey;
    };
    const std::vector<Case> table = {
        {"nothing yet", -1, -1, 0, 0, 0, {500, 530, 560, 590, 620}, false},
        {"pitch stale", 5500, 1000, 6000, 3, 3, {560, 590, 620}, true},
        {"fresh again", 5500, 5500, 6000, 6, 0, {560, 590, 620}, false},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        CLiveValues values = Values("10", "2.5");
        values.m_nReceivedMs[static_cast<int>(Quantity::Heading)] = c.headingAtMs;
        values.m_nReceivedMs[static_cast<int>(Quantity::Pitch)] = c.pitchAtMs;
        const CRecordingCanvas canvas = DrawDisplay(values, c.nowMs);
        EXPECT_EQ(canvas.Lines(Pens::kPointer).size(), c.redStrokes);
        EXPECT_EQ(canvas.Lines(Pens::kStalePointer).size(), c.greyStrokes);
        std::vector<int> dashed;
        for (const auto& item : canvas.m_items) {
            if (item.kind == Kind::Text && item.text == "--" && item.points[0].x() == 275)
                dashed.push_back(item.points[0].y());
        }
        EXPECT_EQ(dashed, c.dashedRows);
        const auto* pitch = canvas.FindText("2.5");
        const auto* age = canvas.FindText("（数据中断 5 秒）");
        if (c.headingAtMs >= 0) {
            ASSERT_TRUE(pitch);
            EXPECT_EQ(pitch->colour, c.pitchGrey ? kStaleText : QColor(Qt::black));
        }
        ASSERT_EQ(age != nullptr, c.pitchGrey);
        if (age)
            EXPECT_EQ(age->points[0], QPoint(380, 530));
    }
    EXPECT_EQ(StaleAgeText(125000), "数据中断 2 分钟");
    EXPECT_EQ(StaleAgeText(7380000), "数据中断 2 小时 3 分钟");
}

struct LiveFixture {
    CMonitorState state;
    CNavigation nav;
    std::int64_t nowMs = 0;
    void Sample(double heading, double pitch) {
        char line[64];
        std::snprintf(line, sizeof line, "$C%g,%g\r\n", heading, pitch);
        state.InterpretText(line, nowMs += 100);
    }
    void Samples(int n, double heading = 100, double pitch = 0) {
        for (int i = 0; i < n; ++i)
            Sample(heading + i % 7, pitch + i % 3);
    }
    CRecordingCanvas Draw(QSize size = QSize(1023, 670)) {
        CRecordingCanvas canvas(size);
        DrawLiveCurves(canvas, CScale{size.width() / 1023.0, size.height() / 670.0}, state, nav);
        return canvas;
    }
};

std::vector<QPoint> Curve(const CRecordingCanvas& canvas, const CPen& pen, int piece = 0) {
    for (const auto& item : canvas.m_items) {
        if (item.kind == Kind::Polyline && item.pen == pen && piece-- == 0)
            return item.points;
    }
    return {};
}

TEST(LiveCurves, AxesGridAndCurvesSitWhereTheyShould) {
    LiveFixture f;
    EXPECT_TRUE(f.Draw().FindText("未接收到姿态仪数据"));
    f.Samples(1);
    const CRecordingCanvas one = f.Draw();
    EXPECT_FALSE(one.FindText("未接收到姿态仪数据"));
    EXPECT_EQ(Curve(one, Pens::kHeadingCurve).size(), 1u); // a point, no segment
    f.Sample(101, 1);
    f.Sample(102, 2);
    f.nav.m_dZoomY = 1.5;
    f.nav.m_nPanY = 4;
    const CRecordingCanvas canvas = f.Draw();
    EXPECT_EQ(canvas.FindText("（单位：百）")->points[0], QPoint(550, 365));
    EXPECT_EQ(canvas.FindText("200")->points[0], QPoint(1, static_cast<int>(1.8 * 200 * 1.5 + 4)));
    EXPECT_FALSE(canvas.FindText("360")); // below the window: no label cut in half
    EXPECT_EQ(canvas.FindText("10")->points[0], QPoint(1, 31)); // heading 10 before pitch 10
    EXPECT_EQ(canvas.FindText("-10")->points[0], QPoint(1000, 360 + 4 + 150 - 8));
    EXPECT_EQ(canvas.Lines(Pens::kAxis).size(), 361u + 37u + 22u);
    // Time grid: only labels near the window, each with its line.
    EXPECT_TRUE(canvas.FindText("9"));
    EXPECT_FALSE(canvas.FindText("11"));
    EXPECT_FALSE(canvas.FindText("10000"));
    EXPECT_EQ(canvas.Lines(Pens::kGrid).back()->points,
              (std::vector<QPoint>{{30, 544}, {1020, 544}})); // base line
    EXPECT_EQ(Curve(canvas, Pens::kHeadingCurve),
              (std::vector<QPoint>{{30, 274}, {31, 276}, {32, 279}}));
    EXPECT_EQ(Curve(canvas, Pens::kPitchCurve),
              (std::vector<QPoint>{{30, 364}, {31, 349}, {32, 334}}));

    // Roll, where received, on the pitch axis; the choice leaves a curve out.
    f.state.InterpretText(CInstrumentSimulator::WithNmeaChecksum("$PSAT,HPR,0,103,3,-2,N"),
                          f.nowMs += 100);
    EXPECT_EQ(Curve(f.Draw(), Pens::kRollCurve), (std::vector<QPoint>{{33, 394}}));
    CRecordingCanvas chosen(QSize(1023, 670));
    DrawLiveCurves(chosen, CScale{1, 1}, f.state, f.nav, {true, false, false});
    EXPECT_FALSE(Curve(chosen, Pens::kHeadingCurve).empty());
    EXPECT_TRUE(Curve(chosen, Pens::kPitchCurve).empty() &&
                Curve(chosen, Pens::kRollCurve).empty());

    f.nav.m_rcZoomArea = AreaRect({10, 10}, {50, 50}); // area zoom: no axes
    EXPECT_EQ(f.Draw().Count(Kind::Text), 0);
}

// At any window size the labels are whole (none starts left of its column or
// runs into the pitch scale) and never touch one another; all of them where
// there is room.
TEST(LiveCurves, AxisLabelsAreWholeAndThinnedAtAnySize) {
    LiveFixture f;
    f.Samples(3000);
    for (QSize size : {QSize(1023, 670), QSize(400, 250), QSize(200, 120), QSize(1900, 1000)}) {
        SCOPED_TRACE(size.width());
        const CScale s{size.width() / 1023.0, size.height() / 670.0};
        const CRecordingCanvas canvas = f.Draw(size);
        std::vector<int> headingTops, timeLefts;
        for (const auto& item : canvas.m_items) {
            if (item.kind != Kind::Text || item.text == "（单位：百）")
                continue;
            if (item.points[0].x() == s.X(1))
                headingTops.push_back(item.points[0].y());
            else if (item.points[0].y() == s.Y(345))
                timeLefts.push_back(item.points[0].x());
        }
        for (std::size_t i = 1; i < headingTops.size(); ++i)
            EXPECT_GE(headingTops[i] - headingTops[i - 1], 13);
        for (std::size_t i = 1; i < timeLefts.size(); ++i)
            EXPECT_GT(timeLefts[i] - timeLefts[i - 1], 7 * 2 + 1); // "29": two characters
        ASSERT_FALSE(timeLefts.empty());
        EXPECT_GE(timeLefts.front(), s.X(30));
        EXPECT_LE(timeLefts.back() + 14, s.X(1000));
        // The heading labels left of their ticks, the pitch labels inside.
        EXPECT_LT(s.X(1) + 7 * 3, canvas.Lines(Pens::kAxis)[0]->points[0].x());
        EXPECT_LE(canvas.FindText("-10")->points[0].x() + 7 * 3, size.width());
        if (size.height() >= 670)
            EXPECT_EQ(headingTops.size(), 37u);
        else
            EXPECT_GE(headingTops.size(), 4u);
    }
}

// No line is drawn across a stretch without data, nor through a value not yet
// received (heading came first: the pitch curve starts at the second sample).
TEST(LiveCurves, GapsAndValuesNotYetReceivedBreakTheCurvesAlarmsAreMarked) {
    LiveFixture f;
    f.state.InterpretText("$GPHDT,100,T\r\n", f.nowMs += 100);
    f.Samples(3);
    f.state.MarkAlarm(); // an alarm started at sample 3
    f.nowMs += 10000;    // the instrument silent for ten seconds
    f.Samples(2, 200, 5);
    const CRecordingCanvas canvas = f.Draw();
    EXPECT_EQ(Curve(canvas, Pens::kHeadingCurve, 0),
              (std::vector<QPoint>{{30, 180}, {31, 180}, {32, 181}, {33, 183}}));
    EXPECT_EQ(Curve(canvas, Pens::kHeadingCurve, 1), (std::vector<QPoint>{{34, 360}, {35, 361}}));
    EXPECT_EQ(Curve(canvas, Pens::kPitchCurve, 0),
              (std::vector<QPoint>{{31, 360}, {32, 350}, {33, 340}}));
    EXPECT_EQ(Curve(canvas, Pens::kPitchCurve, 1), (std::vector<QPoint>{{34, 310}, {35, 300}}));
    ASSERT_EQ(canvas.Lines(Pens::kGap).size(), 1u); // and the gap is marked
    EXPECT_EQ(canvas.Lines(Pens::kGap)[0]->points, (std::vector<QPoint>{{34, 1}, {34, 680}}));
    ASSERT_EQ(canvas.Lines(Pens::kAlarmMark).size(), 1u);
    EXPECT_EQ(canvas.Lines(Pens::kAlarmMark)[0]->points, (std::vector<QPoint>{{33, 1}, {33, 16}}));
}

// The first screenful is drawn as it always was; once the samples pass the
// right edge the newest stays there, until a navigation step suspends it.
TEST(LiveCurves, TheNewestSampleStaysAtTheRightEdgeWhileFollowing) {
    LiveFixture f;
    struct Step {
        const char* name;
        std::function<void()> act;
        int first, last; // x of the heading curve's first and last points
    };
    const std::vector<Step> steps = {
        {"first screenful", [&] { f.Samples(500); }, 30, 529},
        {"window filled", [&] { f.Samples(1500); }, -2, 1020},
        {"a stretch keeps following", [&] { f.nav.StretchX(); }, -1, 1020},
        {"refresh", [&] { f.nav.ResetView(); }, -2, 1020},
        {"a drag suspends",
         [&] {
             f.nav.MovePress({100, 100});
             f.nav.MoveRelease({150, 120});
         },
         80, 1025},
        {"the toggle resumes, the drag's height kept", [&] { f.nav.m_bFollowLive = true; }, -2,
         1020},
        {"an area zoom suspends",
         [&] {
             f.nav.AreaPress({10, 10});
             f.nav.AreaRelease({50, 50});
         },
         80, 1025},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        const CRecordingCanvas canvas = f.Draw();
        const std::vector<QPoint> heading = Curve(canvas, Pens::kHeadingCurve);
        ASSERT_FALSE(heading.empty());
        EXPECT_EQ(heading.front().x(), step.first);
        EXPECT_EQ(heading.back().x(), step.last);
    }
    // The time grid moves along: the line of sample 1900 (label 19).
    f.nav.ResetView();
    const CRecordingCanvas canvas = f.Draw();
    ASSERT_TRUE(canvas.FindText("19"));
    EXPECT_EQ(canvas.FindText("19")->points[0].x(), 1900 - 979);
    // Every heading stays in the window at the default size.
    f.Sample(359.9, 0);
    EXPECT_LT(Curve(f.Draw(), Pens::kHeadingCurve).back().y(), 670);
}

// Every sample of the naive picture, for comparison.
std::vector<QPoint> NaiveHeading(const LiveFixture& f, const CScale& s) {
    std::vector<QPoint> points;
    const CLiveSamples& samples = f.state.Samples();
    for (std::size_t i = 0; i < samples.Size(); ++i)
        points.emplace_back(
            s.X(30 + f.nav.m_nPanX / s.sx + static_cast<double>(i) * f.nav.m_dZoomX),
            s.Y(f.nav.m_nPanY / s.sy + kLiveHeadingScale * f.nav.m_dZoomY * samples[i].Heading()));
    return points;
}

TEST(LiveCurves, ReducedCurvesMatchTheNaiveOnesWhereSparseAndKeepEveryExtremeWhereDense) {
    LiveFixture f;
    f.Samples(600);
    f.nav.m_dZoomX = 1.5; // sparser than the pixels: identical
    EXPECT_EQ(Curve(f.Draw(), Pens::kHeadingCurve), NaiveHeading(f, CScale{1, 1}));

    // Dense: 40000 samples with spikes, in a narrow window.
    LiveFixture d;
    for (int i = 0; i < 40000; ++i)
        d.Sample(i == 12345 ? 250 : i == 23456 ? 0 : 100 + i * 3 % 7, i % 3);
    d.nav.m_nPanX = -3519; // window pixels: samples from about 12000 on
    d.nav.m_bFollowLive = false;
    const QSize size(300, 670);
    const CScale scale{300 / 1023.0, 1};
    const auto reduced = Curve(d.Draw(size), Pens::kHeadingCurve);
    auto columns = [&](const std::vector<QPoint>& points) { // column -> min, max
        std::map<int, std::pair<int, int>> ranges;
        for (QPoint p : points) {
            if (p.x() < 0 || p.x() > size.width())
                continue;
            auto [it, fresh] = ranges.try_emplace(p.x(), p.y(), p.y());
            it->second = {std::min(it->second.first, p.y()), std::max(it->second.second, p.y())};
        }
        return ranges;
    };
    EXPECT_EQ(columns(reduced), columns(NaiveHeading(d, scale)));
    EXPECT_LE(reduced.size(), 4u * (static_cast<std::size_t>(size.width()) + 3));
    EXPECT_TRUE(std::any_of(reduced.begin(), reduced.end(), [](QPoint p) { return p.y() == 450; }));

    // Across north: to the 360 edge (648) and on from the 0 edge, no stroke between.
    LiveFixture north;
    north.Sample(355, 0);
    north.Sample(2, 0);
    const CRecordingCanvas crossing = north.Draw();
    EXPECT_EQ(Curve(crossing, Pens::kHeadingCurve, 0), (std::vector<QPoint>{{30, 639}, {31, 648}}));
    EXPECT_EQ(Curve(crossing, Pens::kHeadingCurve, 1), (std::vector<QPoint>{{31, 0}, {31, 3}}));
}

// Through the widget: switching displays keeps the pan and disarms the
// tools, and commands for the analysis view do nothing. Following the newest
// samples, stretch, shrink and the zooms keep the newest under the right edge;
// a drag suspends the following (the toggle shows it) and moves the picture
// with the mouse while it moves (the sample under the mouse stays under it, in
// pixels drawn anew); then, no longer following, the sample under the middle
// stays there. The pointer over a curve display names the sample under it.
TEST(ViewDisplays, SwitchingStretchZoomAndDragKeepWhatIsLookedAt) {
    CViewUnderTest t;
    CQuillmarView& view = t.view;
    const CNavigation& nav = view.Navigation();
    view.show();
    t.Run(ID_VIEW_REALTIME2);
    t.Run(ID_MOVE);
    EXPECT_EQ(view.cursor().pixmap().size(), QSize(32, 32));
    EXPECT_EQ(view.cursor().hotSpot(), QPoint(16, 17));
    SendMouse(&view, QEvent::MouseButtonPress, {100, 100});
    SendMouse(&view, QEvent::MouseButtonRelease, {110, 105});
    t.Run(ID_VIEW_REALTIME1);
    EXPECT_EQ(nav.m_nToolMode, ToolMode::None);
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
    t.Run(ID_VIEW_REALTIME2);
    EXPECT_EQ(QPoint(nav.m_nPanX, nav.m_nPanY), QPoint(10, 5));
    t.Run(ID_SHRINK_X);
    ASSERT_EQ(t.prompter.m_boxes.size(), 1u);
    EXPECT_EQ(t.prompter.m_boxes[0].text, "视图已经不适宜再缩小，请选择放大按钮");
    t.Run(ID_RUNNING_TIME);
    EXPECT_TRUE(t.prompter.m_boxes.back().text.startsWith("系统已连续运行了"));
    t.Run(ID_REFRESH);
    EXPECT_EQ(nav.m_nPanX, 0);
    t.prompter.m_boxes.clear();

    for (int i = 0; i < 6000; ++i)
        view.Monitor().InterpretText(
            CInstrumentSimulator::WithNmeaChecksum(
                QString("$PSAT,HPR,0,%1,1.5,-2.25,N").arg(100 + i % 50).toStdString()),
            1000 + 100 * i);
    t.Run(ID_VIEW_REALTIME2);
    EXPECT_EQ(t.commands.CheckState(ID_FOLLOW_LIVE), 1);
    QSignalSpy hover(&view, &CQuillmarView::HoverNote);
    SendMouse(&view, QEvent::MouseMove, {1020, 300}); // the newest sample
    ASSERT_FALSE(hover.isEmpty());
    EXPECT_EQ(hover.last()[0].toString(),
              "第 5999 个样本，开始后 0:09:59.9，方位角 149.00，俯仰角 1.50，横滚角 -2.25");
    auto sampleAt = [&](int x) {
        SendMouse(&view, QEvent::MouseMove, {x, 300});
        const QString text = hover.isEmpty() ? QString() : hover.last()[0].toString();
        return text.section(' ', 1, 1).toLong();
    };
    struct Step {
        int command;
        int x;       // where the pointer looks
        long sample; // what it finds there; -1: what it found before the command
    };
    auto walk = [&](const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.command);
            const long before = sampleAt(step.x);
            t.Run(step.command);
            EXPECT_TRUE(t.prompter.m_boxes.empty());
            EXPECT_NEAR(sampleAt(step.x), step.sample < 0 ? before : step.sample, 1);
        }
    };
    walk({{ID_STRETCH_X, 1020, 5999},
          {ID_ZOOM_CENTRE_IN, 1020, 5999},
          {ID_SHRINK_X, 1020, 5999},
          {ID_ZOOM_CENTRE_OUT, 1020, 5999}});
    EXPECT_EQ(t.commands.CheckState(ID_FOLLOW_LIVE), 1);

    // A drag by real events: the picture moves at every step of it.
    t.Run(ID_MOVE);
    const long pressed = sampleAt(600);
    QSignalSpy changed(&view, &CQuillmarView::CommandStateChanged);
    SendMouse(&view, QEvent::MouseButtonPress, {600, 300});
    EXPECT_EQ(t.commands.CheckState(ID_FOLLOW_LIVE), 0);
    QImage picture = view.grab().toImage();
    for (int x : {550, 450, 300}) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(sampleAt(x), pressed, 1);
        const QImage moved = view.grab().toImage();
        EXPECT_NE(moved, picture);
        picture = moved;
    }
    SendMouse(&view, QEvent::MouseButtonRelease, {300, 300});
    EXPECT_NEAR(sampleAt(300), pressed, 1);
    EXPECT_EQ(changed.size(), 1);

    walk({{ID_STRETCH_X, 511, -1}, {ID_ZOOM_CENTRE_IN, 511, -1}, {ID_SHRINK_X, 511, -1}});
    EXPECT_EQ(view.Navigation().m_dZoomY, 1.5); // the zooms go both ways
    t.Run(ID_FOLLOW_LIVE);
    EXPECT_EQ(t.commands.CheckState(ID_FOLLOW_LIVE), 1);

    std::vector<AnalysisSample> records(1000);
    records[250].fHeading = 12.5f;
    view.ShowRecords(records); // 1000 records span the window's 1000 columns
    SendMouse(&view, QEvent::MouseMove, {250, 300});
    EXPECT_EQ(hover.last()[0].toString(), "第 250 条记录，方位角 12.50，俯仰角 0.00");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&view, &leave);
    EXPECT_EQ(hover.last()[0].toString(), "");
}

// Pictures for a person to look at, and a PDF printed from the view.
TEST(ViewDisplays, ScreenshotsOfBothDisplaysAndAPrintout) {
    CViewUnderTest t;
    CQuillmarView& view = t.view;
    const std::int64_t start = SteadyMs() - 300000;
    for (int i = 0; i < 3000; ++i)
        view.Monitor().InterpretText(CInstrumentSimulator::WithNmeaChecksum(
                                         QString("$PSAT,HPR,0,%1,%2,%3,N")
                                             .arg(180 + 120 * std::sin(i / 300.0), 0, 'f', 1)
                                             .arg(8 * std::sin(i / 40.0), 0, 'f', 2)
                                             .arg(4 * std::cos(i / 90.0), 0, 'f', 2)
                                             .toStdString()),
                                     start + i * 100);
    view.Monitor().InterpretText("$GPGGA,1,3110.4567,N,12129.8765,E,1\r\n", start + 299900);
    QImage dials;
    for (int display : {1, 2}) {
        t.Run(display == 1 ? ID_VIEW_REALTIME1 : ID_VIEW_REALTIME2);
        QImage image(view.size(), QImage::Format_RGB32);
        view.render(&image);
        EXPECT_TRUE(image.save(TestOutputDir() + QString("/realtime-view-%1.png").arg(display)));
        EXPECT_NE(image.pixel(30, 30), image.pixel(250, 250)); // something was drawn
        if (display == 1)
            dials = image;
    }
    // The dials kept as a picture give the very pixels of a whole drawing.
    QImage whole(view.size(), QImage::Format_RGB32);
    whole.fill(Qt::white);
    QPainter painter(&whole);
    painter.setFont(view.font());
    CPainterCanvas canvas(painter, whole.size());
    DrawAttitudeDisplay(canvas, CScale{1, 1}, view.Monitor().Values(), SteadyMs(),
                        view.Monitor().StaleMs(), view.Marks());
    painter.end();
    EXPECT_TRUE(dials == whole);

    const QString pdf = TestOutputDir() + "/realtime-view-2.pdf";
    QFile::remove(pdf);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    view.PrintTo(printer);
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
    EXPECT_GT(file.size(), 2000);

    // Ctrl+P with no printer on the machine: asks where to write a PDF.
    const QString viaCommand = TestOutputDir() + "/print-command.pdf";
    QFile::remove(viaCommand);
    t.prompter.m_files.push_back(viaCommand);
    t.Run(ID_FILE_PRINT);
    if (!t.prompter.m_fileDialogs.empty())
        EXPECT_TRUE(QFile::exists(viaCommand));
}

} // namespace
