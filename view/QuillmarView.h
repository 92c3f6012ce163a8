// The one monitoring view: a thin widget that owns its parts and translates
// events for them. The parts: the live displays of what the instrument session
// knows (attached by the frame), the navigation of the curve displays with the
// one tool state, the analysis of a loaded file, and the drawing tools. Each
// part registers its commands in the command table; menus, toolbar, the
// context menu and tests run them from there.
#pragma once

#include "link/MonitorState.h"
#include "plots/PlotFrame.h"
#include "view/AnalysisSession.h"
#include "view/Drawing.h"
#include "view/DrawingTools.h"
#include "view/Navigation.h"
#include "view/PictureExport.h"
#include "view/SerialMonitorDlg.h"
#include "view/ViewMode.h"
#include "view/ViewUpdate.h"

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

class CCanvas;
class CCommandTable;
class CSessionSummaryDlg;
class QPrinter;

class CQuillmarView : public QWidget, public IDocumentView {
    Q_OBJECT
public:
    explicit CQuillmarView(QWidget* parent = nullptr);
    ~CQuillmarView() override;

    // What the live displays show: the instrument session's state, or, while
    // none is attached, a state of the view's own.
    void AttachMonitor(CMonitorState* monitor);
    CMonitorState& Monitor() const { return *m_pMonitor; }
    // What the live displays mark beside the values (the alarms' looks, the
    // replay); the limits are the attached state's own.
    void SetDisplayMarks(const DisplayMarks& marks);
    DisplayMarks Marks() const;
    // The document the line tool draws into.
    void SetDocument(IDrawingDocument* document) { m_tools.SetDocument(document); }
    // Registers every command the view's parts handle; the context menu runs
    // its commands through the same table.
    void RegisterCommands(CCommandTable& table);

    // A message received: echoed into the serial monitor while it is open.
    void OnUpdate(IDocumentView* sender, long hint, const FramedMessage* message) override;
    // Starts loading a recorded attitude file (R35) or a record file of this
    // program into the analysis view, as if chosen in the load dialog. The
    // load runs on a thread of its own with the progress trace shown;
    // LoadFinished tells how it ended (after saying why it did not load).
    void StartLoad(const QString& path, AnalysisSource source = AnalysisSource::R35);
    // Ends a load in progress; the analysis shown before stays.
    void CancelLoad();
    // Shows records in the analysis view as a load would (benchmarks, tests).
    void ShowRecords(std::vector<AnalysisSample> records, AnalysisTimes times = {});

    ViewMode Mode() const { return m_mode; }
    const CNavigation& Navigation() const { return m_navigation; }
    const CAnalysisSession& Analysis() const { return m_analysis; }
    CAnalysisSession& Analysis() { return m_analysis; }
    CDrawingTools& Tools() { return m_tools; }
    CSerialMonitorDlg& MonitorDialog() { return m_dlgMonitor; }
    // The frame of the analysis curves at the window's size and navigation.
    CPlotFrame PlotFrame() const;

    // The picture of the current display, drawn through any canvas.
    void OnDraw(CCanvas& canvas);
    // The analysis picture at the canvas's size, with the window's navigation
    // scaled to it (an exported picture).
    void DrawAnalysisPicture(CCanvas& canvas) const;
    // What the exported picture says around the curves drawn on frame, width
    // pixels wide: the file, the span shown, the legend, the axes.
    PictureTexts AnalysisPictureTexts(const CPlotFrame& frame, int width) const;
    // Prints the picture of the current display onto the printer's pages
    // (the analysis with its texts, as exported).
    void PrintTo(QPrinter& printer);
    // "已导出 …": the status bar's word after a file was exported.
    static QString ExportedText(const QString& path);
    static QPoint ContextMenuPosition(QPoint requested, QPoint clientTopLeftOnScreen);
    static QString RunningTimeText(std::uint32_t minuteTicks, std::uint32_t hourTicks);

signals:
    // A short note for the status bar (a full list refusing an entry, say).
    void StatusNote(const QString& text);
    // The sample under the mouse on a curve display; empty when none is.
    void HoverNote(const QString& text);
    // A command's check mark changed without a command (a drag ended the
    // following of the newest sample, a load ended).
    void CommandStateChanged();
    // A load started by StartLoad ended: loaded (whole), or refused or cancelled.
    void LoadFinished(bool loaded);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void SetMode(ViewMode mode);
    void OnNavigationCommand(int id);
    void OnLoadAnalysisFile(AnalysisSource source);
    // Now and then while a file loads: the progress repainted, the load taken once it ended.
    void PollLoad();
    void OnToggle(int id);
    // Whether a curve toggle applies to the display shown, and if not why.
    bool ToggleApplies(int id) const;
    std::string ToggleUnavailableNote(int id) const;
    int ToggleCheck(int id) const;
    bool HasRecords() const;
    void OnExport();
    void OnSessionSummary();
    void OnRunTime();
    void OnFilePrint(bool direct);
    void OnFilePrintPreview();
    void OnExitTool();
    void Press(QPoint p);
    void Release(QPoint q);
    // The cursor of the tool armed, and a repaint.
    void Changed();
    void UpdateCursor();
    void Refuse(const QString& message);
    // The status bar's note of the sample at column x (-1: none).
    void ShowSampleAt(int x);
    // What the analysis picture depends on.
    QByteArray AnalysisPictureKey() const;
    // The analysis frame at window scale sx, sy with the navigation given.
    static CPlotFrame MakePlotFrame(double sx, double sy, const CNavigation& navigation,
                                    std::uint64_t records);

    // 1 / 1023 and 1 / 670, as the nearest doubles of these reciprocals give
    // them: a size in pixels times these is the window's scale.
    static constexpr double kPerReferenceX = 0.0009775171065493646;
    static constexpr double kPerReferenceY = 0.0014925373134328358;

    std::unique_ptr<CMonitorState> m_pOwnMonitor;
    CMonitorState* m_pMonitor;
    CNavigation m_navigation;
    CAnalysisSession m_analysis;
    CDrawingTools m_tools;
    CSerialMonitorDlg m_dlgMonitor;
    CCommandTable* m_pCommands = nullptr;
    ViewMode m_mode = ViewMode::RealTime1;
    double m_dScaleX = 0, m_dScaleY = 0;
    // The area outline shown for a moment after an area has been framed.
    QRect m_rcOutline;
    // The attitude display's dials and scales at the window's size.
    QImage m_attitudeBackground;
    QString m_strHover;
    // The live curves shown (the toggles while the live curves are shown).
    LiveCurveChoice m_liveCurves;
    // How far a drag has moved the analysis picture so far: its pan is taken
    // at the release, the picture drawn shifted meanwhile.
    QPoint m_ptDragShift;
    DisplayMarks m_marks;
    QPointer<CSessionSummaryDlg> m_pSummaryDlg; // the one shown, if any
    QTimer m_loadTimer;
};
