#include "view/Navigation.h"
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
        nav.m_nToolMode = CNavigation::kMoveTool;
        for (int i = 0; i < c.accepted; ++i)
            EXPECT_TRUE((nav.*c.command)().isEmpty()) << i;
        EXPECT_EQ((nav.*c.command)(), c.refusal);
        EXPECT_EQ(c.horizontal ? nav.m_dZoomX : nav.m_dZoomY, c.last);
        EXPECT_EQ(nav.m_nToolMode, CNavigation::kNoTool);
    }
    CNavigation nav;
    for (int i = 0; i < 3; ++i)
        nav.StretchX(), nav.StretchY();
    for (int i = 0; i < 3; ++i)
        nav.ShrinkX(), nav.ShrinkY();
    EXPECT_EQ(nav.m_dZoomX, 1.0); // no drift
    EXPECT_EQ(nav.m_dZoomY, 1.0);
}

TEST(Navigation, CentreZoomWorksInTheAnalysisViewOnly) {
    CNavigation nav;
    QString message;
    EXPECT_FALSE(nav.ZoomCentreIn(7, &message));
    EXPECT_FALSE(nav.ZoomCentreOut(8, &message));
    EXPECT_EQ(nav.m_nToolMode, CNavigation::kNoTool);
    EXPECT_EQ(nav.m_nZoomInPresses, 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(nav.ZoomCentreIn(10, &message) && message.isEmpty());
    EXPECT_TRUE(nav.ZoomCentreIn(10, &message));
    EXPECT_TRUE(message.startsWith("按钮不是这样点地\n"));
    EXPECT_EQ(nav.m_nToolMode, CNavigation::kZoomInPick); // armed all the same
    EXPECT_EQ(nav.m_nZoomInPresses, 5);
}

TEST(Navigation, TheChainAppliesEachCentreOnceInPhaseOrder) {
    CNavigation nav;
    QString message;
    // One zoom-in click at (400, 300): 500 -> 550; a zoom-out click there undoes it.
    nav.ZoomCentreIn(10, &message);
    EXPECT_TRUE(nav.ClickZoomIn({400, 300}).isEmpty());
    EXPECT_DOUBLE_EQ(nav.ChainX(500), 550);
    EXPECT_DOUBLE_EQ(nav.ChainY(400), 450);
    nav.ZoomCentreOut(10, &message);
    nav.ClickZoomOut({400, 300});
    EXPECT_DOUBLE_EQ(nav.ChainX(500), 500);

    // Zoom in once; zoom out once; zoom out again; zoom in once: the second
    // zoom-in click is phase 3, phase 2 stays empty.
    nav.ResetView();
    nav.ZoomCentreIn(10, &message);
    nav.ClickZoomIn({100, 0});
    nav.ZoomCentreOut(10, &message);
    nav.ClickZoomOut({200, 0});
    nav.ZoomCentreOut(10, &message);
    nav.ZoomCentreIn(10, &message);
    nav.ClickZoomIn({300, 0});
    EXPECT_EQ(nav.m_nZoomInPhaseEnd[0], 1);
    EXPECT_EQ(nav.m_nZoomInPhaseEnd[1], 0);
    EXPECT_EQ(nav.m_nZoomInPhaseEnd[2], 2);
    double v = 1000;
    v = 100 + (v - 100) * 1.5; // phase 1 in
    v = 200 + (v - 200) / 1.5; // phase 1 out
    v = 300 + (v - 300) * 1.5; // phase 3 in
    EXPECT_DOUBLE_EQ(nav.ChainX(1000), v);

    // Zoom in, click twice; zoom out, click three times: back at scale 1.
    nav.ResetView();
    nav.ZoomCentreIn(10, &message);
    nav.ClickZoomIn({10, 10});
    nav.ClickZoomIn({50, 50});
    nav.ZoomCentreOut(10, &message);
    nav.ClickZoomOut({10, 10});
    nav.ClickZoomOut({50, 50});
    nav.ClickZoomOut({90, 90}); // ignored: two out, two in
    EXPECT_EQ(nav.m_nZoomOutCount, 2);
    EXPECT_NEAR(nav.ChainX(777) - nav.ChainX(0), 777, 1e-9);
}

TEST(Navigation, TooManySwitchesAreRefusedUntilRefresh) {
    CNavigation nav;
    QString message;
    nav.ZoomCentreOut(10, &message);
    EXPECT_TRUE(nav.ClickZoomOut({5, 5}).isEmpty()); // nothing to zoom out of: ignored
    EXPECT_EQ(nav.m_nZoomOutCount, 0);
    for (int i = 0; i < 3; ++i)
        nav.ZoomCentreOut(10, &message);
    nav.ZoomCentreIn(10, &message);
    EXPECT_EQ(nav.ClickZoomIn({1, 1}), kSwitched);
    EXPECT_EQ(nav.m_nZoomInCount, 0);
    nav.ResetView();
    nav.ZoomCentreIn(10, &message);
    EXPECT_TRUE(nav.ClickZoomIn({1, 1}).isEmpty());
    EXPECT_EQ(nav.m_nZoomInCount, 1);
    for (int i = 0; i < 4; ++i)
        nav.ZoomCentreIn(10, &message);
    nav.ZoomCentreOut(10, &message);
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
    EXPECT_FALSE(nav.AreaRelease({20, 30})); // on the press corner: nothing
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

TEST(ViewCommands, RunningTimeAndKeyboardMenuPosition) {
    EXPECT_EQ(CQuillmarView::RunningTimeText(90061000, 90061000), "系统已连续运行了25小时1分钟");
    EXPECT_EQ(CQuillmarView::RunningTimeText(59999, 59999), "系统已连续运行了0小时0分钟");
    EXPECT_EQ(CQuillmarView::ContextMenuPosition({-1, -1}, {300, 200}), QPoint(305, 205));
    EXPECT_EQ(CQuillmarView::ContextMenuPosition({40, 50}, {300, 200}), QPoint(40, 50));
}

} // namespace
