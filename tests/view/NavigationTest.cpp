#include "view/Navigation.h"
#include "shell/CommandIds.h"
#include "support/TestSupport.h"
#include "view/QuillmarView.h"

#include <gtest/gtest.h>

namespace {

const QString kStretchMax = "视图已经不适宜再放大，请选择缩小按钮";
const QString kShrinkMin = "视图已经不适宜再缩小，请选择放大按钮";
const QString kSwitched = "放大和缩小之间切换过多，请按刷新回原始视图后再缩放";

TEST(Navigation, StretchAndShrinkStopAtTheirLimitsOnExactValues) {
    struct Case {
        QString (CNavigation::*command)();
        int accepted; // presses that succeed from the start
        double last;  // the factor after them
        bool horizontal;
        QString refusal;
    };
    const std::vector<Case> table = {
        {&CNavigation::StretchX, 6, 11.390625, true, kStretchMax},
        {&CNavigation::StretchY, 5, 7.59375, false, kStretchMax},
        {&CNavigation::ShrinkX, 0, 1.0, true, kShrinkMin},
        {&CNavigation::ShrinkY, 2, 0.4444444444444444, false, kShrinkMin},
    };
    for (const Case& c : table) {
        CNavigation nav;
        nav.m_nToolMode = ToolMode::Move;
        for (int i = 0; i < c.accepted; ++i)
            EXPECT_TRUE((nav.*c.command)().isEmpty()) << i;
        EXPECT_EQ((nav.*c.command)(), c.refusal);
        EXPECT_EQ(c.horizontal ? nav.m_dZoomX : nav.m_dZoomY, c.last);
        EXPECT_EQ(nav.m_nToolMode, ToolMode::None);
    }
    CNavigation nav;
    for (int i = 0; i < 3; ++i)
        nav.StretchX(), nav.StretchY();
    for (int i = 0; i < 3; ++i)
        nav.ShrinkX(), nav.ShrinkY();
    EXPECT_TRUE(nav.m_dZoomX == 1.0 && nav.m_dZoomY == 1.0); // no drift
}

TEST(Navigation, TheChainAppliesEachCentreOnceInPhaseOrder) {
    CNavigation nav;
    QString message;
    // Zoom in once; zoom out once; zoom out again; zoom in once: the second
    // zoom-in click is phase 3, phase 2 stays empty.
    nav.ZoomCentreIn(true, &message);
    nav.ClickZoomIn({100, 0});
    nav.ZoomCentreOut(true, &message);
    nav.ClickZoomOut({200, 0});
    nav.ZoomCentreOut(true, &message);
    nav.ZoomCentreIn(true, &message);
    nav.ClickZoomIn({300, 0});
    EXPECT_EQ(nav.m_nZoomInPhaseEnd[0], 1);
    EXPECT_EQ(nav.m_nZoomInPhaseEnd[1], 0);
    EXPECT_EQ(nav.m_nZoomInPhaseEnd[2], 2);
    double v = 1000;
    v = 100 + (v - 100) * 1.5; // phase 1 in
    v = 200 + (v - 200) / 1.5; // phase 1 out
    v = 300 + (v - 300) * 1.5; // phase 3 in
    EXPECT_DOUBLE_EQ(nav.ChainX(1000), v);
    EXPECT_DOUBLE_EQ(nav.ChainY(400), 600); // about the centres' own y

    // Zoom in, click twice; zoom out, click three times: back at scale 1.
    nav.ResetView();
    nav.ZoomCentreIn(true, &message);
    nav.ClickZoomIn({10, 10});
    nav.ClickZoomIn({50, 50});
    nav.ZoomCentreOut(true, &message);
    nav.ClickZoomOut({10, 10});
    nav.ClickZoomOut({50, 50});
    nav.ClickZoomOut({90, 90}); // ignored: two out, two in
    EXPECT_EQ(nav.m_nZoomOutCount, 2);
    EXPECT_NEAR(nav.ChainX(777) - nav.ChainX(0), 777, 1e-9);
}

// Outside the analysis view the presses do nothing; a sixth zoom-in press is
// said to be one too many but arms the pick all the same; switching between
// in and out too often is refused until refresh.
TEST(Navigation, CentreZoomPressesAndSwitchesAreLimitedUntilRefresh) {
    CNavigation nav;
    QString message;
    EXPECT_FALSE(nav.ZoomCentreIn(false, &message) || nav.ZoomCentreOut(false, &message));
    EXPECT_EQ(nav.m_nToolMode, ToolMode::None);
    nav.ZoomCentreOut(true, &message);
    EXPECT_TRUE(nav.ClickZoomOut({5, 5}).isEmpty()); // nothing to zoom out of: ignored
    EXPECT_EQ(nav.m_nZoomOutCount, 0);
    for (int i = 0; i < 3; ++i)
        nav.ZoomCentreOut(true, &message);
    nav.ZoomCentreIn(true, &message);
    EXPECT_EQ(nav.ClickZoomIn({1, 1}), kSwitched); // after four zoom-out presses
    EXPECT_EQ(nav.m_nZoomInCount, 0);

    nav.ResetView();
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(nav.ZoomCentreIn(true, &message) && message.isEmpty());
    EXPECT_TRUE(nav.ClickZoomIn({1, 1}).isEmpty());
    EXPECT_EQ(nav.m_nZoomInCount, 1);
    nav.m_nToolMode = ToolMode::None;
    EXPECT_TRUE(nav.ZoomCentreIn(true, &message));
    EXPECT_TRUE(message.startsWith("按钮不是这样点地\n"));
    EXPECT_EQ(nav.m_nToolMode, ToolMode::ZoomInPick);
    EXPECT_EQ(nav.m_nZoomInPresses, 5);
    nav.ZoomCentreOut(true, &message);
    EXPECT_EQ(nav.ClickZoomOut({1, 1}), kSwitched); // after five zoom-in presses
}

TEST(Navigation, DragsAccumulateAndAreasAreTakenOnce) {
    CNavigation nav;
    nav.MovePress({100, 100});
    nav.MoveRelease({110, 105});
    nav.MovePress({50, 50});
    nav.MoveRelease({46, 50});
    EXPECT_EQ(QPoint(nav.m_nPanX, nav.m_nPanY), QPoint(6, 5));
    nav.MoveRelease({500, 500}); // no press: ignored
    EXPECT_EQ(nav.m_nPanX, 6);

    EXPECT_TRUE(nav.AreaPress({20, 30}).isEmpty());
    for (QPoint flat : {QPoint(20, 30), QPoint(20, 90), QPoint(80, 30)})
        EXPECT_FALSE(nav.AreaRelease(flat)); // no width or no height: nothing
    EXPECT_FALSE(nav.HasAreaZoom());
    EXPECT_EQ(nav.AreaPress({1, 1}), "请换用纵横向或中心缩放察看细节");
    EXPECT_TRUE(nav.AreaRelease({220, 130}));
    EXPECT_EQ(nav.m_rcZoomArea.left(), 20);
    EXPECT_EQ(nav.m_rcZoomArea.bottom(), 130);
    nav.ExitTool(); // the area stays, a new press is allowed
    EXPECT_TRUE(nav.HasAreaZoom());
    EXPECT_TRUE(nav.AreaPress({5, 5}).isEmpty());
    nav.ResetView();
    EXPECT_FALSE(nav.HasAreaZoom());
    EXPECT_EQ(nav.m_nPanX, 0);
}

// The column of the heading curve's spike: the column with most of its pen.
int SpikeColumn(const QImage& image) {
    int best = -1, most = 0;
    for (int x = 0; x < image.width(); ++x) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            n += image.pixel(x, y) == QColor(0, 255, 0).rgb();
        if (n > most)
            most = n, best = x;
    }
    return best;
}

// The tools through the real widget, as a user meets them: the commands from
// the table, the clicks as mouse events. A centre zoom moves the picture as
// the chain says (about the clicked point, by 1.5 in and back out), and
// refresh, stretch and shrink leave no tool armed for the next click.
TEST(ViewCommands, CentreZoomAndTheToolsWorkOnTheWidget) {
    CViewUnderTest t;
    std::vector<AnalysisSample> records(1000);
    for (auto& r : records)
        r.fHeading = 100;
    records[600].fHeading = 300; // a spike, one upright line of the heading pen
    t.view.ShowRecords(records);
    auto spike = [&] { return SpikeColumn(t.view.grab().toImage()); };
    const int x0 = spike();
    ASSERT_GT(x0, 100);

    t.Run(ID_ZOOM_CENTRE_IN);
    EXPECT_EQ(t.view.cursor().hotSpot(), QPoint(12, 11)); // the zoom-in cursor
    Click(&t.view, {300, 200});
    const int x1 = spike();
    EXPECT_NEAR(x1, 300 + (x0 - 300) * 1.5, 2);
    t.Run(ID_ZOOM_CENTRE_OUT);
    Click(&t.view, {700, 200});
    EXPECT_NEAR(spike(), 700 + (x1 - 700) / 1.5, 2);

    for (int disarm : {ID_REFRESH, ID_STRETCH_X, ID_SHRINK_X, ID_STRETCH_Y, ID_SHRINK_Y}) {
        SCOPED_TRACE(disarm);
        t.Run(ID_ZOOM_CENTRE_IN);
        t.Run(disarm);
        const int before = spike();
        Click(&t.view, {300, 200});
        EXPECT_EQ(spike(), before);
        EXPECT_EQ(t.view.Navigation().m_nToolMode, ToolMode::None);
        EXPECT_EQ(t.view.cursor().shape(), Qt::ArrowCursor);
        t.Run(ID_REFRESH);
    }

    // A drag moves the picture with the mouse, before the release too.
    t.Run(ID_MOVE);
    SendMouse(&t.view, QEvent::MouseButtonPress, {300, 200});
    SendMouse(&t.view, QEvent::MouseMove, {350, 210});
    EXPECT_EQ(spike(), x0 + 50);
    SendMouse(&t.view, QEvent::MouseButtonRelease, {370, 210});
    EXPECT_EQ(spike(), x0 + 70);
}

TEST(ViewCommands, RunningTimeAndKeyboardMenuPosition) {
    EXPECT_EQ(CQuillmarView::RunningTimeText(90061000, 90061000), "系统已连续运行了25小时1分钟");
    EXPECT_EQ(CQuillmarView::RunningTimeText(59999, 59999), "系统已连续运行了0小时0分钟");
    EXPECT_EQ(CQuillmarView::ContextMenuPosition({-1, -1}, {300, 200}), QPoint(305, 205));
    EXPECT_EQ(CQuillmarView::ContextMenuPosition({40, 50}, {300, 200}), QPoint(40, 50));
}

} // namespace
