// The one monitoring view: receives every message from the document,
// interprets and records it, sounds the alarm, and draws the displays.
#pragma once

#include "link/SerialMonitorDlg.h"
#include "view/MonitorState.h"
#include "view/RecordFile.h"
#include "view/ViewUpdate.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <vector>

class CAlarmTone;

class CQuillmarView : public QWidget, public IDocumentView, public CMonitorState {
    Q_OBJECT
public:
    static constexpr int kZoomCentres = 100;
    static constexpr int kNotes = 1000;

    // Creates the record file in recordFolder, named for the current time.
    explicit CQuillmarView(const QString& recordFolder, QWidget* parent = nullptr);
    ~CQuillmarView() override;

    void OnUpdate(IDocumentView* sender, long hint, const CReceiverMessage* message) override;

    // Command routing: true when the view handles command `id`.
    bool HasCommand(int id) const;
    bool OnCommand(int id);
    void OnSaveDataPath();
    void OnSerialMonitor();

    // Looks after the record file once a second: writes what failed writes
    // left, and recreates a file deleted under it.
    void CheckRecording();
    QString RecordStatus() const { return m_strRecordStatus; }
    QString AlarmStatus() const { return m_strAlarmStatus; }
    CAlarmTone* Alarm() const { return m_pAlarm; }

    // Embedded windows and owned objects
    CSerialMonitorDlg m_dlgMonitor;
    QWidget* m_pYawWindow = nullptr;
    CRecordFile m_fileRecord;

    // Samples of a loaded analysis file (live ones are in CMonitorState).
    std::vector<AnalysisSample> m_arrAnalysis;

    // What the view shows
    int m_nViewMode = 7; // 7 real-time view 1, 8 real-time view 2, 10 analysis
    int m_nToolMode = 0;
    int m_nHeadingToggle = 0, m_nPitchToggle = 0, m_nRollToggle = 1, m_nSatelliteToggle = 1,
        m_nErrorToggle = 1;

    // Recording
    QString m_strRecordPath;
    QString m_strAnalysisPath;

    // Navigation and tool state
    int m_nPanX = 0, m_nPanY = 0;
    QPoint m_ptDragStart;
    QRect m_rcZoomArea; // left, top, right, bottom as given; all 0 at start
    QPoint m_ptZoomIn[kZoomCentres];
    QPoint m_ptZoomOut[kZoomCentres];
    int m_nZoomInCount = 0, m_nZoomOutCount = 0;
    int m_nZoomInPresses = 0, m_nZoomOutPresses = 0;
    double m_dZoomStep = 1.0;
    double m_dZoomX = 1.0, m_dZoomY = 1.0;
    double m_dScaleX = 0, m_dScaleY = 0;
    int m_nClickState = 0;
    QPoint m_ptLineStart, m_ptLastMove;
    int m_nLineClicks = 0;
    QPoint m_ptNotes[kNotes];
    int m_nNotePointCount = 0;
    QString m_strNotes[kNotes];
    int m_nNoteTextCount = 0;
    QString m_strShipShape;

signals:
    void RecordStatusChanged(const QString& text);
    void AlarmStatusChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateRecordFile(const QString& folder);
    void RunAlarmTest();
    void Record();
    void SetRecordStatus(const QString& text);

    CAlarmTone* m_pAlarm;
    QTimer m_recordCheck;
    QString m_strRecordStatus;
    QString m_strAlarmStatus;
    bool m_bWriteFailing = false;
};
