#include "survey/FileChoiceDlg.h"

#include <QCoreApplication>
#include <QPushButton>

CPrompter::FileDialogRequest SurveyFileRequest(bool save) {
    CPrompter::FileDialogRequest request;
    request.save = save;
    request.filter = "Data Files (*.txt)";
    request.defaultSuffix = "DAT";
    request.proposedName = "Untitled";
    request.confirmOverwrite = true;
    request.kind = CPrompter::FileKind::Drawing;
    return request;
}

CFileChoiceDlg::CFileChoiceDlg(const QString& caption, const QString& buttonText, QWidget* parent)
    : CParameterDlg(caption, parent) {
    auto* choose = new QPushButton(buttonText, this);
    choose->setObjectName("chooseFile");
    AddField(choose);
    connect(choose, &QPushButton::clicked, this, &CFileChoiceDlg::OnChooseFile);
}

void CFileChoiceDlg::OnChooseFile() {
    const QString path = CPrompter::Instance().ChooseFile(this, SurveyFileRequest(false));
    if (!path.isEmpty())
        m_strPath = path;
}

CChannelLayoutDlg::CChannelLayoutDlg(QWidget* parent)
    : CFileChoiceDlg(QCoreApplication::translate("SurveyDialogs", "航道布线参数"),
                     QCoreApplication::translate("SurveyDialogs", "调入库文件"), parent) {}

CPlannedLineDlg::CPlannedLineDlg(QWidget* parent)
    : CFileChoiceDlg(QCoreApplication::translate("SurveyDialogs", "计划测线调入"),
                     QCoreApplication::translate("SurveyDialogs", "选择调入文件"), parent) {}

CCoordPlotDlg::CCoordPlotDlg(QWidget* parent)
    : CFileChoiceDlg(QCoreApplication::translate("SurveyDialogs", "坐标作图"),
                     QCoreApplication::translate("SurveyDialogs", "选择库文件"), parent) {}
