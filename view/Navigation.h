// Navigation of the curve displays: stretch and shrink of either axis, centre
// zoom about clicked points (analysis view), pan by dragging, area zoom, and
// the reset. Free of widgets: the commands return the refusal to show, if any.
//
// Centre zoom keeps its clicks in phases. A zoom-in click belongs to zoom-in
// phase (zoom-out presses + 1), a zoom-out click to zoom-out phase (zoom-in
// presses); the chain applies, for k = 1..4, the zoom-in centres of phase k
// and then the zoom-out centres of phase k, each centre exactly once.
#pragma once

#include "plots/PlotFrame.h"

#include <QPoint>
#include <QRect>
#include <QString>

inline QRect AreaRectOf(int left, int top, int right, int bottom) {
    QRect rect;
    rect.setCoords(left, top, right, bottom);
    return rect;
}

// The tool a left press in the view works: none, the drawing tools' line and
// note, the pan, the framing of an area, the picks of the centre zooms.
enum class ToolMode { None, Line, Note, Move, Area, ZoomInPick, ZoomOutPick };

class CNavigation : public IZoomChain {
public:
    static constexpr int kZoomCentres = 100;
    static constexpr int kPhases = 4;

    // 32843, 32845, 32847, 32852: each ends any tool first. The live curves
    // go on following the newest sample (the view keeps what was looked at).
    QString StretchX();
    QString StretchY();
    QString ShrinkX();
    QString ShrinkY();
    // 32780, 32776: false when the command does nothing (not the analysis
    // view); *message is set when the press is one too many (the pick is armed
    // all the same).
    bool ZoomCentreIn(bool analysisView, QString* message);
    bool ZoomCentreOut(bool analysisView, QString* message);
    // Left presses with the zoom picks armed; the refusal, if any.
    QString ClickZoomIn(QPoint p);
    QString ClickZoomOut(QPoint p);

    void MovePress(QPoint p) {
        m_ptDragStart = p;
        m_bDragging = true;
    }
    // The picture moves with the mouse: the pan by the motion since the press
    // or the last move (while a drag is on).
    void MoveBy(QPoint q);
    bool Dragging() const { return m_bDragging; }
    // A drag and a framed area stop the following too; the reset resumes it.
    void MoveRelease(QPoint q);
    QString AreaPress(QPoint p);
    // True when the release framed an area (outline, then a repaint).
    bool AreaRelease(QPoint q);
    void ExitTool();
    void ResetView();

    // One step about centre i of the zoom-ins, or j of the zoom-outs.
    double ZoomInX(double v, int i) const { return Step(v, m_ptZoomIn[i].x(), m_dZoomStep); }
    double ZoomInY(double v, int i) const { return Step(v, m_ptZoomIn[i].y(), m_dZoomStep); }
    double ZoomOutX(double v, int j) const { return Step(v, m_ptZoomOut[j].x(), 1 / m_dZoomStep); }
    double ZoomOutY(double v, int j) const { return Step(v, m_ptZoomOut[j].y(), 1 / m_dZoomStep); }
    // The centre-zoom chain of an x or a y coordinate.
    double ChainX(double v) const override { return Chain(v, true); }
    double ChainY(double v) const override { return Chain(v, false); }
    bool Identity() const override;
    bool HasAreaZoom() const { return m_rcZoomArea.left() != 0 || m_rcZoomArea.right() != 0; }
    // The same navigation for a picture kx by ky times the window's size (an
    // export): the zoom centres, the pan and the framed area scale with it.
    CNavigation ScaledBy(double kx, double ky) const;
    int ZoomDepth() const { return m_nZoomInCount - m_nZoomOutCount; }

    // The live curves keep the newest sample at the right edge ("跟随最新").
    bool m_bFollowLive = true;
    // The one tool armed, whichever part armed it (the line and note tools too).
    ToolMode m_nToolMode = ToolMode::None;
    double m_dZoomX = 1.0, m_dZoomY = 1.0;
    double m_dZoomStep = 1.0;
    QPoint m_ptZoomIn[kZoomCentres];
    QPoint m_ptZoomOut[kZoomCentres];
    int m_nZoomInCount = 0, m_nZoomOutCount = 0;
    int m_nZoomInPresses = 0, m_nZoomOutPresses = 0;
    // m_nZoomInCount / m_nZoomOutCount right after the last click of each
    // phase; 0 for a phase without centres.
    int m_nZoomInPhaseEnd[kPhases] = {};
    int m_nZoomOutPhaseEnd[kPhases] = {};
    int m_nPanX = 0, m_nPanY = 0;
    QPoint m_ptDragStart;
    // left, top (press corner), right, bottom (release corner), as given.
    // Set whole when an area has been framed, so that no half-taken area ever
    // reaches the drawing (the press corner waits in m_ptAreaPress).
    QRect m_rcZoomArea = AreaRectOf(0, 0, 0, 0);
    QPoint m_ptAreaPress;
    int m_nClickState = 0;
    QPoint m_ptLineStart;

private:
    static double Step(double v, int centre, double factor) {
        return centre + (v - centre) * factor;
    }
    double Chain(double v, bool x) const;

    bool m_bDragging = false;
};

// Area rectangles keep their corners as given; QRect's right() and bottom()
// are the release corner's x and y.
inline QRect AreaRect(QPoint pressCorner, QPoint releaseCorner) {
    return AreaRectOf(pressCorner.x(), pressCorner.y(), releaseCorner.x(), releaseCorner.y());
}
