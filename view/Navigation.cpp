#include "view/Navigation.h"

#include <QCoreApplication>
#include <cmath>

namespace {
// The stretch limits and steps land on exact doubles: 1.5^n and 2/3 products.
constexpr double kStep = 1.5;
constexpr double kShrink = 0.6666666666666666;
constexpr double kMaxZoomX = 11.390625; // 1.5^6
constexpr double kMaxZoomY = 7.59375;   // 1.5^5
const char* const kNoMoreStretch =
    QT_TRANSLATE_NOOP("Navigation", "视图已经不适宜再放大，请选择缩小按钮");
const char* const kNoMoreShrink =
    QT_TRANSLATE_NOOP("Navigation", "视图已经不适宜再缩小，请选择放大按钮");
const char* const kPressedTooOften = QT_TRANSLATE_NOOP(
    "Navigation",
    "按钮不是这样点地\n本按钮点击一次后\n鼠标到视图中左键点选缩放中心\n请按刷新按钮重新缩放");
const char* const kSwitchedTooOften =
    QT_TRANSLATE_NOOP("Navigation", "放大和缩小之间切换过多，请按刷新回原始视图后再缩放");
const char* const kCentresFull =
    QT_TRANSLATE_NOOP("Navigation", "缩放中心已满，请按刷新回原始视图后再缩放");
const char* const kOneAreaOnly = QT_TRANSLATE_NOOP("Navigation", "请换用纵横向或中心缩放察看细节");

// The refusals are shown in the window's language.
QString Refusal(const char* text) {
    return QCoreApplication::translate("Navigation", text);
}
} // namespace

QString CNavigation::StretchX() {
    m_nToolMode = ToolMode::None;
    if (m_dZoomX >= kMaxZoomX)
        return Refusal(kNoMoreStretch);
    m_dZoomX *= kStep;
    return {};
}

QString CNavigation::StretchY() {
    m_nToolMode = ToolMode::None;
    if (m_dZoomY >= kMaxZoomY)
        return Refusal(kNoMoreStretch);
    m_dZoomY *= kStep;
    return {};
}

QString CNavigation::ShrinkX() {
    m_nToolMode = ToolMode::None;
    if (m_dZoomX < kStep)
        return Refusal(kNoMoreShrink);
    m_dZoomX *= kShrink;
    return {};
}

QString CNavigation::ShrinkY() {
    m_nToolMode = ToolMode::None;
    if (m_dZoomY < kShrink)
        return Refusal(kNoMoreShrink);
    m_dZoomY *= kShrink;
    return {};
}

bool CNavigation::ZoomCentreIn(bool analysisView, QString* message) {
    if (!analysisView)
        return false;
    m_nToolMode = ToolMode::ZoomInPick;
    if (m_nZoomInPresses < 5)
        ++m_nZoomInPresses;
    else
        *message = Refusal(kPressedTooOften);
    return true;
}

bool CNavigation::ZoomCentreOut(bool analysisView, QString* message) {
    if (!analysisView)
        return false;
    m_nToolMode = ToolMode::ZoomOutPick;
    if (m_nZoomOutPresses < 4)
        ++m_nZoomOutPresses;
    else
        *message = Refusal(kPressedTooOften);
    return true;
}

QString CNavigation::ClickZoomIn(QPoint p) {
    const int phase = m_nZoomOutPresses; // zoom-in phase phase + 1
    if (phase > 3)
        return Refusal(kSwitchedTooOften);
    if (m_nZoomInCount >= kZoomCentres)
        return Refusal(kCentresFull);
    m_ptZoomIn[m_nZoomInCount++] = p;
    m_nZoomInPhaseEnd[phase] = m_nZoomInCount;
    m_dZoomStep = kStep;
    return {};
}

QString CNavigation::ClickZoomOut(QPoint p) {
    if (m_nZoomOutCount >= m_nZoomInCount)
        return {};                      // nothing left to zoom out of: ignored
    const int phase = m_nZoomInPresses; // zoom-out phase 1..5
    m_dZoomStep = kStep;
    if (phase > 4)
        return Refusal(kSwitchedTooOften);
    if (phase < 1)
        return {};
    m_ptZoomOut[m_nZoomOutCount++] = p;
    m_nZoomOutPhaseEnd[phase - 1] = m_nZoomOutCount;
    return {};
}

bool CNavigation::Identity() const {
    for (int k = 0; k < kPhases; ++k)
        if (m_nZoomInPhaseEnd[k] || m_nZoomOutPhaseEnd[k])
            return false;
    return true;
}

double CNavigation::Chain(double v, bool x) const {
    int inStart = 0, outStart = 0;
    for (int k = 0; k < kPhases; ++k) {
        if (const int end = m_nZoomInPhaseEnd[k]) {
            for (int i = inStart; i < end; ++i)
                v = x ? ZoomInX(v, i) : ZoomInY(v, i);
            inStart = end;
        }
        if (const int end = m_nZoomOutPhaseEnd[k]) {
            for (int j = outStart; j < end; ++j)
                v = x ? ZoomOutX(v, j) : ZoomOutY(v, j);
            outStart = end;
        }
    }
    return v;
}

void CNavigation::MoveRelease(QPoint q) {
    // A release without a press in move mode is ignored.
    if (!m_bDragging)
        return;
    MoveBy(q);
    m_bDragging = false;
    m_bFollowLive = false;
}

void CNavigation::MoveBy(QPoint q) {
    if (!m_bDragging)
        return;
    m_nPanX += q.x() - m_ptDragStart.x();
    m_nPanY += q.y() - m_ptDragStart.y();
    m_ptDragStart = q;
}

QString CNavigation::AreaPress(QPoint p) {
    if (m_nClickState != 0)
        return Refusal(kOneAreaOnly);
    m_ptAreaPress = p;
    m_nClickState = 1;
    return {};
}

bool CNavigation::AreaRelease(QPoint q) {
    // An area without width or height frames nothing.
    if (m_nClickState != 1 || q.x() == m_ptAreaPress.x() || q.y() == m_ptAreaPress.y())
        return false;
    m_rcZoomArea = AreaRect(m_ptAreaPress, q);
    m_bFollowLive = false;
    return true;
}

void CNavigation::ExitTool() {
    m_nToolMode = ToolMode::None;
    m_nClickState = 0;
    m_ptLineStart = QPoint(0, 0);
    m_bDragging = false;
}

void CNavigation::ResetView() {
    m_dZoomX = m_dZoomY = m_dZoomStep = 1.0;
    m_rcZoomArea = AreaRect(QPoint(0, 0), QPoint(0, 0));
    m_ptZoomIn[0] = m_ptZoomOut[0] = QPoint(0, 0);
    m_nZoomInCount = m_nZoomOutCount = 0;
    for (int k = 0; k < kPhases; ++k)
        m_nZoomInPhaseEnd[k] = m_nZoomOutPhaseEnd[k] = 0;
    m_nZoomInPresses = m_nZoomOutPresses = 0;
    m_nPanX = m_nPanY = 0;
    m_bFollowLive = true;
    m_nToolMode = ToolMode::None;
    m_nClickState = 0;
    m_bDragging = false;
}

CNavigation CNavigation::ScaledBy(double kx, double ky) const {
    CNavigation scaled = *this;
    const auto x = [kx](int v) { return static_cast<int>(std::lround(v * kx)); };
    const auto y = [ky](int v) { return static_cast<int>(std::lround(v * ky)); };
    const auto point = [&](QPoint p) { return QPoint(x(p.x()), y(p.y())); };
    for (int i = 0; i < kZoomCentres; ++i) {
        scaled.m_ptZoomIn[i] = point(m_ptZoomIn[i]);
        scaled.m_ptZoomOut[i] = point(m_ptZoomOut[i]);
    }
    scaled.m_nPanX = x(m_nPanX);
    scaled.m_nPanY = y(m_nPanY);
    const QRect& r = m_rcZoomArea;
    scaled.m_rcZoomArea = AreaRectOf(x(r.left()), y(r.top()), x(r.right()), y(r.bottom()));
    return scaled;
}
