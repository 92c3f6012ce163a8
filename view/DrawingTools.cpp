#include "view/DrawingTools.h"

#include "platform/CommandTable.h"
#include "shell/CommandIds.h"
#include "survey/CoordLibraryDlg.h"
#include "survey/FileChoiceDlg.h"
#include "survey/ShipShapeDlg.h"
#include "survey/TextNoteDlg.h"
#include "survey/YawWindow.h"
#include <QCoreApplication>

CDrawingTools::~CDrawingTools() {
    delete m_pYawWindow;
}

void CDrawingTools::RegisterCommands(CCommandTable& table) {
    for (int id : {ID_LINE_TOOL,         // "画线"
                   ID_TEXT_NOTE_TOOL,    // "文字注记"
                   ID_SHIP_SHAPE,        // "船形选择"
                   ID_CHANNEL_LAYOUT,    // "航道布线"
                   ID_COORD_LIBRARY,     // "坐标库"
                   ID_COORD_PLOT,        // "坐标作图"
                   ID_PLANNED_LINE,      // planned survey lines
                   ID_YAW_WINDOW,        // "偏航窗口"
                   ID_MEASURE_MODE,      // "测量方式"
                   ID_VIEW_MODE_5,       //
                   ID_PLAYBACK,          // "数据回放"
                   ID_FULL_WIDTH_LAYOUT, // "满幅布线"
                   ID_AREA_LAYOUT,       // "区域布线"
                   ID_LINE_STYLE,        // "线形设置"
                   ID_FONT_SETTINGS})    // "字体设置"
        table.Register(id, [this, id] { OnCommand(id); });
}

void CDrawingTools::OnCommand(int id) {
    CNavigation& navigation = *m_host.navigation;
    QWidget* window = m_host.window;
    switch (id) {
    case ID_LINE_TOOL:
        navigation.m_nToolMode = ToolMode::Line;
        if (m_pDocument)
            m_pDocument->SetLineFlag(1);
        break;
    case ID_TEXT_NOTE_TOOL:
        navigation.m_nToolMode = ToolMode::Note;
        break;
    case ID_SHIP_SHAPE: {
        CShipShapeDlg dialog(window);
        if (dialog.exec() == QDialog::Accepted)
            m_strShipShape = dialog.ShapePath();
        break;
    }
    case ID_CHANNEL_LAYOUT: {
        CChannelLayoutDlg dialog(window);
        if (dialog.exec() == QDialog::Accepted)
            m_strChannelLayoutPath = dialog.Path();
        break;
    }
    case ID_COORD_LIBRARY: {
        CCoordLibraryDlg dialog(window);
        dialog.exec();
        break;
    }
    case ID_COORD_PLOT: {
        CCoordPlotDlg dialog(window);
        if (dialog.exec() == QDialog::Accepted)
            m_strCoordPlotPath = dialog.Path();
        break;
    }
    case ID_PLANNED_LINE: {
        CPlannedLineDlg dialog(window);
        if (dialog.exec() == QDialog::Accepted)
            m_strPlannedLinePath = dialog.Path();
        break;
    }
    case ID_YAW_WINDOW:
        // Made on first use and kept; shown at (5, 600) in its own size.
        if (!m_pYawWindow)
            m_pYawWindow = new CYawWindow(window);
        m_pYawWindow->show();
        m_pYawWindow->move(5, 600);
        break;
    case ID_MEASURE_MODE:
    case ID_VIEW_MODE_5:
    case ID_PLAYBACK:
        // Modes no display draws: the view shows its background.
        m_host.setMode(id == ID_MEASURE_MODE  ? ViewMode::Measure
                       : id == ID_VIEW_MODE_5 ? ViewMode::Unlisted
                                              : ViewMode::Playback);
        break;
    default:
        break; // layout, line style and font settings do nothing
    }
    m_host.changed();
}

void CDrawingTools::LinePress(QPoint p) {
    CNavigation& navigation = *m_host.navigation;
    if (navigation.m_nClickState == 0) {
        navigation.m_ptLineStart = p;
        navigation.m_nClickState = 1;
        ++m_nLineClicks;
        return;
    }
    // The segment runs to the last position the mouse reported (normally the
    // pressed point); the next one starts there.
    if (m_pDocument &&
        !m_pDocument->AddLine(navigation.m_ptLineStart.x(), navigation.m_ptLineStart.y(),
                              m_ptLastMove.x(), m_ptLastMove.y())) {
        m_host.note(QCoreApplication::translate("DrawingTools", "图形已满，不能再添加线段"));
        return;
    }
    navigation.m_ptLineStart = m_ptLastMove;
    ++m_nLineClicks;
}

bool CDrawingTools::MouseMove(QPoint q) {
    if (m_host.navigation->m_nToolMode != ToolMode::Line)
        return false;
    m_ptLastMove = q;
    if (m_host.navigation->m_nClickState != 1)
        return false;
    // The band from the start vertex to the mouse: the previous one goes.
    m_bBandShown = true;
    return true;
}

bool CDrawingTools::BandShown() const {
    return m_bBandShown && m_host.navigation->m_nToolMode == ToolMode::Line &&
           m_host.navigation->m_nClickState == 1;
}

void CDrawingTools::NotePress(QPoint p) {
    if (NoteCount() >= m_nNoteLimit) {
        m_host.note(QCoreApplication::translate("DrawingTools", "文字注记已满（%1 条），不能再添加")
                        .arg(m_nNoteLimit));
        return;
    }
    m_notePoints.push_back(p);
    CTextNoteDlg dialog(m_host.window);
    if (dialog.exec() == QDialog::Accepted) {
        if (static_cast<int>(m_noteTexts.size()) < m_nNoteLimit)
            m_noteTexts.push_back(dialog.Note());
    } else {
        m_host.navigation->m_nToolMode = ToolMode::None; // Cancel disarms; the point stays
        m_host.changed();
    }
}
