// The one monitoring view: draws what the instrument session knows (values,
// samples) and the analysis of a loaded file, echoes every message the
// document hands it into the serial monitor, and handles the view commands.
#pragma once

#include "link/MonitorState.h"
#include "link/SerialMonitorDlg.h"
#include "plots/CurveSummary.h"
#include "plots/PlotFrame.h"
#include "view/DrawingDocument.h"
#include "view/Navigation.h"
#include "view/ViewUpdate.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CCanvas;
class QPrinter;

class CQuillmarView : public QWidget, public IDocumentView, public CNavigation {
    Q_OBJECT
public:
    static constexpr int kNotes = 1000;

    explicit CQuillmarView(QWidget* parent = nullptr);
    ~CQuillmarView() override;

    // What the displays show: the instrument session's state (the frame
    // attaches it), or, alone, a state of the view's own.
    void AttachMonitor(CMonitorState* monitor) {
        m_pMonitor = monitor ? monitor : m_pOwnMonitor.get();
    }
    CMonitorState& Monitor() const { return *m_pMonitor; }

    void OnUpdate(IDocumentView* sender, long hint, const CReceiverMessage* message) override;

    // Command routing: true when the view handles command `id`.
    bool HasCommand(int id) const;
    bool OnCommand(int id);
    void OnSerialMonitor();
    // Analysis: the load command (dialog, then LoadAnalysisFileAt), the load
    // of a given file, and the five curve toggles with their check states.
    void OnLoadAnalysisFile();
    bool LoadAnalysisFileAt(const QString& path);
    void OnAnalysisToggle(int id);
    // 1 checked, 0 unchecked, -1 for a command without a check mark.
    int CheckState(int id) const;
    CPlotFrame PlotFrame() const;
    // The progress trace after `lines` lines of a file of `length` bytes.
    static std::vector<QPoint> ProgressTrace(std::uint64_t lines, std::uint64_t length, int width);
    // Routes a command chosen in the context menu as the main window would
    // (the frame sets it; alone, the view handles it itself).
    std::function<void(int)> m_fnRouteCommand;

    // The picture of the current display, drawn through any canvas.
    void OnDraw(CCanvas& canvas);
    // Navigation and display commands, and the left-button tools.
    void OnNavigationCommand(int id);
    void OnLButtonDown(QPoint p);
    void OnLButtonUp(QPoint q);
    void OnMouseMove(QPoint q);
    // The drawing tools and the survey commands.
    void OnSurveyCommand(int id);
    static bool IsSurveyCommand(int id);
    void LinePress(QPoint p);
    void NotePress(QPoint p);
    // The document the line tool draws into (the application sets it).
    IDrawingDocument* m_pDocument = nullptr;
    // The rubber band of the line tool, while one is on the screen.
    bool m_bBandShown = false;
    QString m_strChannelLayoutPath, m_strCoordPlotPath, m_strPlannedLinePath;
    void OnRunTime();
    void OnExitTool() {
        ExitTool();
        UpdateCursor();
    }
    void UpdateCursor();
    // Prints the picture of the current display onto printer's pages.
    void PrintTo(QPrinter& printer);
    void OnFilePrint(bool direct);
    void OnFilePrintPreview();
    static QPoint ContextMenuPosition(QPoint requested, QPoint clientTopLeftOnScreen);
    static QString RunningTimeText(std::uint32_t minuteTicks, std::uint32_t hourTicks);
    // The area outline shown for a moment after an area has been framed.
    QRect m_rcOutline;

    // Embedded windows and owned objects
    CSerialMonitorDlg m_dlgMonitor;
    QWidget* m_pYawWindow = nullptr;

    // Samples of a loaded analysis file (live ones are in CMonitorState), and
    // their extremes by blocks for drawing dense curves.
    std::vector<AnalysisSample> m_arrAnalysis;
    CCurveSummary m_headingSummary, m_pitchSummary;

    // What the view shows
    int m_nViewMode = 7; // 7 real-time view 1, 8 real-time view 2, 10 analysis
    int m_nToolMode = 0;
    int m_nHeadingToggle = 0, m_nPitchToggle = 0, m_nRollToggle = 1, m_nSatelliteToggle = 1,
        m_nErrorToggle = 1;

    QString m_strAnalysisPath;

    // Tool state of the drawing tools (navigation state is in CNavigation)
    QPoint m_ptLastMove;
    int m_nLineClicks = 0;
    double m_dScaleX = 0, m_dScaleY = 0;
    QPoint m_ptNotes[kNotes];
    int m_nNotePointCount = 0;
    QString m_strNotes[kNotes];
    int m_nNoteTextCount = 0;
    QString m_strShipShape;

signals:
    // A short note for the status bar (a full list refusing an entry, say).
    void StatusNote(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Refuse(const QString& message);
    void DrawLoadProgress(CCanvas& canvas) const;
    const int* ToggleCounter(int id) const;

    // What the analysis picture depends on, and the picture last drawn for it:
    // repaints with nothing changed (every received message asks for one)
    // show it again instead of drawing millions of records' summary anew.
    QByteArray AnalysisPictureKey() const;
    QByteArray m_analysisKey;
    QImage m_analysisPicture;
    // The attitude display's dials and scales at the window's size.
    QImage m_attitudeBackground;
    std::uint64_t m_nLoadGeneration = 0;

    // The load in progress: lines read and the file's length.
    bool m_bLoading = false;
    std::uint64_t m_nLoadLines = 0;
    std::uint64_t m_nLoadLength = 0;

    std::unique_ptr<CMonitorState> m_pOwnMonitor;
    CMonitorState* m_pMonitor;
};
