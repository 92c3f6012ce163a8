// The view's line and text-note tools, and the survey commands that open the
// survey dialogs or set the leftover view modes.
#include "platform/CommandIds.h"
#include "survey/SurveyDialogs.h"
#include "view/QuillmarView.h"

#include <QMouseEvent>

bool CQuillmarView::IsSurveyCommand(int id) {
    switch (id) {
    case ID_LINE_TOOL:
    case ID_TEXT_NOTE_TOOL:
    case ID_SHIP_SHAPE:
    case ID_CHANNEL_LAYOUT:
    case ID_COORD_LIBRARY:
    case ID_COORD_PLOT:
    case ID_PLANNED_LINE:
    case ID_YAW_WINDOW:
    case ID_MEASURE_MODE:
    case ID_VIEW_MODE_5:
    case ID_PLAYBACK:
    case ID_FULL_WIDTH_LAYOUT:
    case ID_AREA_LAYOUT:
    case ID_LINE_STYLE:
    case ID_FONT_SETTINGS:
        return true;
    default:
        return false;
    }
}

void CQuillmarView::OnSurveyCommand(int id) {
    switch (id) {
    case ID_LINE_TOOL:
        m_nToolMode = kLineTool;
        if (m_pDocument)
            m_pDocument->SetLineFlag(1);
        break;
    case ID_TEXT_NOTE_TOOL:
        m_nToolMode = kNoteTool;
        update();
        break;
    case ID_SHIP_SHAPE: {
        CShipShapeDlg dialog(this);
        if (dialog.exec() == QDialog::Accepted)
            m_strShipShape = dialog.ShapePath();
        break;
    }
    case ID_CHANNEL_LAYOUT: {
        CChannelLayoutDlg dialog(this);
        if (dialog.exec() == QDialog::Accepted)
            m_strChannelLayoutPath = dialog.Path();
        break;
    }
    case ID_COORD_LIBRARY: {
        CCoordLibraryDlg dialog(this);
        dialog.exec();
        break;
    }
    case ID_COORD_PLOT: {
        CCoordPlotDlg dialog(this);
        if (dialog.exec() == QDialog::Accepted)
            m_strCoordPlotPath = dialog.Path();
        break;
    }
    case ID_PLANNED_LINE: {
        CPlannedLineDlg dialog(this);
        if (dialog.exec() == QDialog::Accepted) {
            m_strPlannedLinePath = dialog.Path();
            update();
        }
        break;
    }
    case ID_YAW_WINDOW:
        // Made on first use and kept; shown at (5, 600) in its own size.
        if (!m_pYawWindow)
            m_pYawWindow = new CYawWindow(this);
        m_pYawWindow->show();
        m_pYawWindow->move(5, 600);
        break;
    case ID_MEASURE_MODE:
    case ID_VIEW_MODE_5:
    case ID_PLAYBACK:
        // Modes no display draws: the view shows its background.
        m_nViewMode = id == ID_MEASURE_MODE ? 1 : (id == ID_VIEW_MODE_5 ? 5 : 4);
        update();
        break;
    default:
        break; // layout, line style and font settings do nothing
    }
    UpdateCursor();
}

void CQuillmarView::LinePress(QPoint p) {
    if (m_nClickState == 0) {
        m_ptLineStart = p;
        m_nClickState = 1;
        ++m_nLineClicks;
        return;
    }
    // The segment runs to the last position the mouse reported (normally the
    // pressed point); the next one starts there.
    if (m_pDocument && !m_pDocument->AddLine(m_ptLineStart.x(), m_ptLineStart.y(), m_ptLastMove.x(),
                                             m_ptLastMove.y())) {
        emit StatusNote("图形已满，不能再添加线段");
        return;
    }
    m_ptLineStart = m_ptLastMove;
    ++m_nLineClicks;
}

void CQuillmarView::OnMouseMove(QPoint q) {
    if (m_nToolMode != kLineTool)
        return;
    if (m_nClickState == 1) {
        // The band from the start vertex to the mouse: the previous one goes.
        m_bBandShown = true;
        update();
    }
    m_ptLastMove = q;
}

void CQuillmarView::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    OnMouseMove(event->position().toPoint());
}

void CQuillmarView::NotePress(QPoint p) {
    if (m_nNotePointCount >= kNotes) {
        emit StatusNote(QString("文字注记已满（%1 条），不能再添加").arg(kNotes));
        return;
    }
    m_ptNotes[m_nNotePointCount++] = p;
    CTextNoteDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted) {
        if (m_nNoteTextCount < kNotes)
            m_strNotes[m_nNoteTextCount++] = dialog.Note();
    } else {
        m_nToolMode = kNoTool; // Cancel disarms the tool; the point stays
        UpdateCursor();
    }
}
