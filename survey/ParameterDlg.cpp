#include "survey/ParameterDlg.h"

#include "platform/DialogUnits.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CParameterDlg::CParameterDlg(const QString& caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(caption);
    auto* ok = new QPushButton(QCoreApplication::translate("SurveyDialogs", "确定"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QCoreApplication::translate("SurveyDialogs", "取消"), this);
    m_order = {ok, cancel};
    m_pFields = new QVBoxLayout;
    m_pFields->addStretch();
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(m_pFields, 1);
    layout->addLayout(buttons);
    SizeToContents(this, DialogUnits(this, 0, 0, 186, 0).width());
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CParameterDlg::AddField(QWidget* field) {
    m_pFields->insertWidget(m_pFields->count() - 1, field);
    m_order.insert(m_order.size() - 2, field);
    if (m_order.size() == 3)
        field->setFocus(); // the dialog opens on its first field, not on "确定"
    for (int i = 1; i < m_order.size(); ++i)
        QWidget::setTabOrder(m_order[i - 1], m_order[i]);
    SizeToContents(this, DialogUnits(this, 0, 0, 186, 0).width());
}

CParallelLinesDlg::CParallelLinesDlg(QWidget* parent)
    : CParameterDlg(QCoreApplication::translate("SurveyDialogs", "自动生成平行线"), parent) {}

CBearingDistanceDlg::CBearingDistanceDlg(QWidget* parent)
    : CParameterDlg(QCoreApplication::translate("SurveyDialogs", "方向距离推算"), parent) {}
