// The view's line and text-note tools and the survey commands (their dialogs,
// the yaw window, the leftover view modes). The tool they arm is the
// navigation's one tool state, so arming any tool disarms every other.
#pragma once

#include "view/DrawingDocument.h"
#include "view/Navigation.h"
#include "view/ViewMode.h"

#include <QPoint>
#include <QString>
#include <functional>
#include <vector>

class CCommandTable;
class QWidget;

class CDrawingTools {
public:
    static constexpr int kNotes = 1000; // the most text notes kept

    // What the tools need of the view: the window that owns their dialogs,
    // the navigation's tool state, a way to switch the view's mode, to
    // repaint and set the cursor after a change, and to say a short note.
    struct Host {
        QWidget* window;
        CNavigation* navigation;
        std::function<void(ViewMode)> setMode;
        std::function<void()> changed;
        std::function<void(const QString&)> note;
    };
    explicit CDrawingTools(Host host) : m_host(std::move(host)) {}
    ~CDrawingTools();
    CDrawingTools(const CDrawingTools&) = delete;
    CDrawingTools& operator=(const CDrawingTools&) = delete;

    void SetDocument(IDrawingDocument* document) { m_pDocument = document; }
    // The survey commands: the line and note tools, the dialogs, the modes no
    // display draws, and the layout commands that do nothing.
    void RegisterCommands(CCommandTable& table);

    // A left press with the line or note tool armed.
    void LinePress(QPoint p);
    void NotePress(QPoint p);
    // The mouse moved; true when the rubber band must be drawn anew.
    bool MouseMove(QPoint q);
    // The rubber band of the line tool, while one is on the screen.
    bool BandShown() const;
    QPoint BandStart() const { return m_host.navigation->m_ptLineStart; }
    QPoint LastMove() const { return m_ptLastMove; }

    int NoteCount() const { return static_cast<int>(m_notePoints.size()); }
    QPoint NotePoint(int i) const { return m_notePoints[static_cast<std::size_t>(i)]; }
    const std::vector<QString>& NoteTexts() const { return m_noteTexts; }
    void SetNoteLimit(int notes) { m_nNoteLimit = notes; } // tests fill it quickly
    QWidget* YawWindow() const { return m_pYawWindow; }
    const QString& ShipShape() const { return m_strShipShape; }

private:
    void OnCommand(int id);

    Host m_host;
    IDrawingDocument* m_pDocument = nullptr;
    bool m_bBandShown = false;
    QPoint m_ptLastMove;
    int m_nLineClicks = 0;
    int m_nNoteLimit = kNotes;
    std::vector<QPoint> m_notePoints;
    std::vector<QString> m_noteTexts;
    QString m_strShipShape, m_strChannelLayoutPath, m_strCoordPlotPath, m_strPlannedLinePath;
    QWidget* m_pYawWindow = nullptr;
};
