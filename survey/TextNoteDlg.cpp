#include "survey/TextNoteDlg.h"

#include "platform/DialogUnits.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CTextNoteDlg::CTextNoteDlg(QWidget* parent)
    : QDialog(parent), m_strNote(QCoreApplication::translate("SurveyDialogs", "1号点")) {
    setWindowTitle(QCoreApplication::translate("SurveyDialogs", "文字注记"));
    // Created in reading order, which is the order Tab goes.
    auto* label = new QLabel(QCoreApplication::translate("SurveyDialogs", "文字内容："), this);
    m_pEdit = new QLineEdit(m_strNote, this);
    m_pEdit->setObjectName("noteText");
    label->setBuddy(m_pEdit);
    auto* ok = new QPushButton(QCoreApplication::translate("SurveyDialogs", "确定"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QCoreApplication::translate("SurveyDialogs", "取消"), this);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(label, 0, Qt::AlignTop);
    layout->addWidget(m_pEdit, 1, Qt::AlignTop);
    layout->addLayout(buttons);
    SizeToContents(this, DialogUnits(this, 0, 0, 186, 0).width());
    connect(ok, &QPushButton::clicked, this, &CTextNoteDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CTextNoteDlg::OnOK() {
    m_strNote = m_pEdit->text();
    accept();
}
