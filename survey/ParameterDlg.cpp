#include "survey/ParameterDlg.h"

#include "platform/DialogUnits.h"

#include <QCoreApplication>
#include <QPushButton>

CParameterDlg::CParameterDlg(const QString& caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(caption);
    setFixedSize(DialogUnits(this, 0, 0, 186, 95).size());
    auto* ok = new QPushButton(QCoreApplication::translate("SurveyDialogs", "确定"), this);
    ok->setDefault(true);
    PlaceInDialogUnits(ok, 129, 7, 50, 14);
    auto* cancel = new QPushButton(QCoreApplication::translate("SurveyDialogs", "取消"), this);
    PlaceInDialogUnits(cancel, 129, 24, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

CParallelLinesDlg::CParallelLinesDlg(QWidget* parent)
    : CParameterDlg(QCoreApplication::translate("SurveyDialogs", "自动生成平行线"), parent) {}

CBearingDistanceDlg::CBearingDistanceDlg(QWidget* parent)
    : CParameterDlg(QCoreApplication::translate("SurveyDialogs", "方向距离推算"), parent) {}
