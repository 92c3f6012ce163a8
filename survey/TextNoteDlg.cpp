#include "survey/TextNoteDlg.h"

#include "platform/DialogUnits.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CTextNoteDlg::CTextNoteDlg(QWidget* parent)
    : QDialog(parent), m_strNote(QCoreApplication::translate("SurveyDialogs", "1号点")) {
    setWindowTitle(QCoreApplication::translate("SurveyDialogs", "文字注记"));
    setFixedSize(DialogUnits(this, 0, 0, 186, 48).size());
    PlaceInDialogUnits(new QLabel(QCoreApplication::translate("SurveyDialogs", "文字内容："), this),
                       7, 9, 40, 9);
    m_pEdit = new QLineEdit(m_strNote, this);
    m_pEdit->setObjectName("noteText");
    PlaceInDialogUnits(m_pEdit, 50, 7, 70, 12);
    auto* ok = new QPushButton(QCoreApplication::translate("SurveyDialogs", "确定"), this);
    ok->setDefault(true);
    PlaceInDialogUnits(ok, 129, 7, 50, 14);
    auto* cancel = new QPushButton(QCoreApplication::translate("SurveyDialogs", "取消"), this);
    PlaceInDialogUnits(cancel, 129, 24, 50, 14);
    connect(ok, &QPushButton::clicked, this, &CTextNoteDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CTextNoteDlg::OnOK() {
    m_strNote = m_pEdit->text();
    accept();
}
