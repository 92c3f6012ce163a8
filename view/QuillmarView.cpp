#include "view/QuillmarView.h"

#include "link/ReceiverMessage.h"
#include "platform/CommandIds.h"
#include "platform/Prompter.h"

#include <QResizeEvent>

CQuillmarView::CQuillmarView(QWidget* parent)
    : QWidget(parent), m_pOwnMonitor(std::make_unique<CMonitorState>()),
      m_pMonitor(m_pOwnMonitor.get()) {
    m_fnRouteCommand = [this](int id) { OnCommand(id); };
    setMouseTracking(true); // the line tool's rubber band follows the mouse
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
}

CQuillmarView::~CQuillmarView() {
    delete m_pYawWindow;
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
    // The session has interpreted and recorded the message already.
    if (m_dlgMonitor.IsShown()) {
        const std::string_view text = CMonitorState::MessageText(*message);
        m_dlgMonitor.AppendMessage(
            QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
    }
    // The frame repaints the displays once a burst has been handed over.
}

bool CQuillmarView::HasCommand(int id) const {
    if (IsSurveyCommand(id))
        return true;
    switch (id) {
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

void CQuillmarView::OnSerialMonitor() {
    m_dlgMonitor.DoModal();
}
