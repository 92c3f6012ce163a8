#include "view/QuillmarView.h"

#include "link/ReceiverMessage.h"
#include "platform/AlarmTone.h"
#include "platform/CommandIds.h"
#include "platform/Prompter.h"
#include "view/Alarm.h"

#include <QDateTime>
#include <QResizeEvent>
#include <cstring>

int g_nPitchLimit = 30;
int g_nRollLimit = 30;

namespace {
constexpr int kRecordCheckMs = 1000;

QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

CQuillmarView::CQuillmarView(const QString& recordFolder, QWidget* parent)
    : QWidget(parent), m_pAlarm(new CAlarmTone(this)) {
    m_fnRouteCommand = [this](int id) { OnCommand(id); };
    setMouseTracking(true); // the line tool's rubber band follows the mouse
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    CreateRecordFile(recordFolder);
    m_recordCheck.setInterval(kRecordCheckMs);
    connect(&m_recordCheck, &QTimer::timeout, this, &CQuillmarView::CheckRecording);
    m_recordCheck.start();
}

CQuillmarView::~CQuillmarView() {
    delete m_pYawWindow;
    m_fileRecord.Flush();
}

void CQuillmarView::CreateRecordFile(const QString& folder) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::string error;
    if (m_fileRecord.CreateNew(folder.toStdString(), local, &error)) {
        SetRecordStatus(QString("记录文件：%1").arg(QString::fromStdString(m_fileRecord.Path())));
        return;
    }
    const QString text =
        QString("无法建立记录文件：%1/%2\n%3\n接收和显示照常进行，但数据不会被记录。")
            .arg(folder, QString::fromStdString(CRecordFile::FileName(local)),
                 QString::fromStdString(error));
    SetRecordStatus(QString(text).replace('\n', ' '));
    // Once, and without holding up the start or the reception.
    CPrompter::Instance().Notify(nullptr, text, QString(), CPrompter::Icon::Warning);
}

void CQuillmarView::SetRecordStatus(const QString& text) {
    if (text == m_strRecordStatus)
        return;
    m_strRecordStatus = text;
    emit RecordStatusChanged(text);
}

void CQuillmarView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // cx / 1023 and cy / 670, as the nearest doubles of their reciprocals give them.
    m_dScaleX = event->size().width() * 0.0009775171065493646;
    m_dScaleY = event->size().height() * 0.0014925373134328358;
    update();
}

void CQuillmarView::OnUpdate(IDocumentView*, long hint, const CReceiverMessage* message) {
    if (hint != HINT_NEW_MESSAGE || !message)
        return;
    Interpret(*message);
    if (m_dlgMonitor.IsShown())
        m_dlgMonitor.AppendMessage(QByteArray::fromRawData(
            m_strMessage.data(), static_cast<qsizetype>(m_strMessage.size())));
    RunAlarmTest();
    update(); // Qt folds a burst of these into one paint
    Record();
}

void CQuillmarView::RunAlarmTest() {
    const AlarmDecision alarm = DecideAlarm(AlarmPitch(), AlarmRoll(), g_nPitchLimit, g_nRollLimit);
    QString status;
    if (alarm.bPitch)
        status = QString("俯仰角超出报警范围 ±%1°").arg(g_nPitchLimit);
    if (alarm.bRoll)
        status += QString(status.isEmpty() ? "" : "；") +
                  QString("横滚角超出报警范围 ±%1°").arg(g_nRollLimit);
    if (alarm.Any())
        m_pAlarm->Play(); // does nothing while an alarm is sounding
    if (status != m_strAlarmStatus) {
        m_strAlarmStatus = status;
        emit AlarmStatusChanged(status);
    }
}

void CQuillmarView::Record() {
    if (!m_fileRecord.IsOpen())
        return;
    const bool ok = m_fileRecord.Write(m_strMessage);
    if (ok == !m_bWriteFailing)
        return;
    m_bWriteFailing = !ok;
    const QString path = QString::fromStdString(m_fileRecord.Path());
    if (ok)
        SetRecordStatus(QString("记录已恢复：%1").arg(path));
    else
        SetRecordStatus(QString("记录文件写入失败：%1（%2）；数据暂存内存，恢复后补写")
                            .arg(path, SystemText(m_fileRecord.LastError())));
}

void CQuillmarView::CheckRecording() {
    if (!m_fileRecord.IsOpen())
        return;
    if (m_fileRecord.IsRemoved()) {
        const QString old = QString::fromStdString(m_fileRecord.Path());
        std::string error;
        if (m_fileRecord.Recreate(&error))
            SetRecordStatus(QString("记录文件 %1 被删除，已重新建立：%2")
                                .arg(old, QString::fromStdString(m_fileRecord.Path())));
        else
            SetRecordStatus(QString("记录文件 %1 被删除，无法重新建立（%2）")
                                .arg(old, QString::fromStdString(error)));
    }
    if (m_bWriteFailing && m_fileRecord.Flush()) {
        m_bWriteFailing = false;
        SetRecordStatus(QString("记录已恢复：%1").arg(QString::fromStdString(m_fileRecord.Path())));
    }
}

bool CQuillmarView::HasCommand(int id) const {
    if (IsSurveyCommand(id))
        return true;
    switch (id) {
    case ID_SAVE_DATA_PATH:
    case ID_SERIAL_MONITOR:
    case ID_VIEW_REALTIME1:
    case ID_VIEW_REALTIME2:
    case ID_RUNNING_TIME:
    case ID_STRETCH_X:
    case ID_STRETCH_Y:
    case ID_SHRINK_X:
    case ID_SHRINK_Y:
    case ID_ZOOM_CENTRE_IN:
    case ID_ZOOM_CENTRE_OUT:
    case ID_MOVE:
    case ID_REFRESH:
    case ID_AREA_ZOOM:
    case ID_INITIAL_VIEW:
    case ID_EXIT_TOOL:
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_DIRECT:
    case ID_FILE_PRINT_PREVIEW:
    case ID_LOAD_ANALYSIS_FILE:
    case ID_TOGGLE_HEADING:
    case ID_TOGGLE_PITCH:
    case ID_TOGGLE_ROLL:
    case ID_TOGGLE_SATELLITE:
    case ID_TOGGLE_ERROR:
        return true;
    default:
        return false;
    }
}

bool CQuillmarView::OnCommand(int id) {
    if (IsSurveyCommand(id)) {
        OnSurveyCommand(id);
        return true;
    }
    switch (id) {
    case ID_SAVE_DATA_PATH:
        OnSaveDataPath();
        return true;
    case ID_SERIAL_MONITOR:
        OnSerialMonitor();
        return true;
    case ID_RUNNING_TIME:
        OnRunTime();
        return true;
    case ID_EXIT_TOOL:
        OnExitTool();
        return true;
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_DIRECT:
        OnFilePrint(id == ID_FILE_PRINT_DIRECT);
        return true;
    case ID_FILE_PRINT_PREVIEW:
        OnFilePrintPreview();
        return true;
    case ID_LOAD_ANALYSIS_FILE:
        OnLoadAnalysisFile();
        return true;
    case ID_TOGGLE_HEADING:
    case ID_TOGGLE_PITCH:
    case ID_TOGGLE_ROLL:
    case ID_TOGGLE_SATELLITE:
    case ID_TOGGLE_ERROR:
        OnAnalysisToggle(id);
        return true;
    default:
        if (!HasCommand(id))
            return false;
        OnNavigationCommand(id);
        return true;
    }
}

void CQuillmarView::OnSaveDataPath() {
    CPrompter::FileDialogRequest request;
    request.save = true;
    request.title = "保存";
    request.filter = "Data Files (*.dat);;All File (*.*)";
    request.defaultSuffix = "DAT";
    request.proposedName = "TimeFileName";
    request.confirmOverwrite = true;
    const QString path = CPrompter::Instance().FileDialog(this, request);
    if (path.isEmpty())
        return;
    std::string error;
    // The dialog has asked before an existing file is replaced. Bytes a
    // failed write left over go into the new file first.
    if (!m_fileRecord.Replace(path.toStdString(), &error)) {
        CPrompter::Instance().MessageBox(this,
                                         QString("无法建立记录文件：%1\n%2\n记录仍写入原文件。")
                                             .arg(path, QString::fromStdString(error)),
                                         QString(), QMessageBox::Ok, CPrompter::Icon::Warning);
        return;
    }
    m_strRecordPath = path;
    m_bWriteFailing = false;
    SetRecordStatus(QString("记录文件：%1").arg(path));
}

void CQuillmarView::OnSerialMonitor() {
    m_dlgMonitor.DoModal();
}
