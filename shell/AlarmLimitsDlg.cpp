#include "shell/AlarmLimitsDlg.h"

#include "platform/DialogUnits.h"
#include "platform/Prompter.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

CAlarmLimitsDlg::CAlarmLimitsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QCoreApplication::translate("AlarmLimitsDlg", "报警角度设定"));
    // Created in reading order, which is the order Tab goes: the fields, then the buttons.
    auto group = [this](const QString& title, const char* name) {
        auto* box = new QGroupBox(title, this);
        box->setAlignment(Qt::AlignHCenter);
        auto* sign = new QLabel(QCoreApplication::translate("AlarmLimitsDlg", "正负"), box);
        auto* edit = new QLineEdit(box);
        edit->setObjectName(name);
        edit->setMaxLength(8);
        edit->setMaximumWidth(DialogUnits(this, 0, 0, 40, 0).width());
        sign->setBuddy(edit);
        auto* row = new QHBoxLayout(box);
        row->addStretch();
        row->addWidget(sign);
        row->addWidget(edit);
        row->addStretch();
        return std::pair{box, edit};
    };
    const auto [pitchGroup, pitch] =
        group(QCoreApplication::translate("AlarmLimitsDlg", "俯仰角范围"), "pitchLimit");
    const auto [rollGroup, roll] =
        group(QCoreApplication::translate("AlarmLimitsDlg", "横滚角范围"), "rollLimit");
    m_pPitch = pitch;
    m_pRoll = roll;
    auto* note = new QLabel(QCoreApplication::translate(
                                "AlarmLimitsDlg", "实时监控时，角度超过上述设定范围系统将会报警！"),
                            this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QCoreApplication::translate("AlarmLimitsDlg", "确定"),
                                         QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QCoreApplication::translate("AlarmLimitsDlg", "取消"),
                       QDialogButtonBox::RejectRole);
    auto* groups = new QHBoxLayout;
    groups->addWidget(pitchGroup);
    groups->addWidget(rollGroup);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(note);
    layout->addWidget(buttons);
    // As wide as it always was, wider when the texts need it.
    SizeToContents(this, DialogUnits(this, 0, 0, 202, 0).width());
    connect(buttons, &QDialogButtonBox::accepted, this, &CAlarmLimitsDlg::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CAlarmLimitsDlg::OnInitDialog(int pitchLimit, int rollLimit) {
    m_nPitch = pitchLimit;
    m_nRoll = rollLimit;
    m_pPitch->setText(QString::number(pitchLimit));
    m_pRoll->setText(QString::number(rollLimit));
}

bool CAlarmLimitsDlg::ParseLimit(const QString& text, int* value, QString* message) {
    bool ok = false;
    const int number = text.trimmed().toInt(&ok, 10);
    if (!ok) {
        *message = QCoreApplication::translate("AlarmLimitsDlg", "请输入一个整数。");
        return false;
    }
    if (number < 0 || number > 90) {
        *message =
            QCoreApplication::translate("AlarmLimitsDlg", "请输入一个介于 0 和 90 之间的整数。");
        return false;
    }
    *value = number;
    return true;
}

bool CAlarmLimitsDlg::Exchange(QLineEdit* edit, int* value) {
    QString message;
    if (ParseLimit(edit->text(), value, &message))
        return true;
    CPrompter::Instance().MessageBox(this, message, QString(), QMessageBox::Ok,
                                     CPrompter::Icon::Warning);
    edit->setFocus();
    edit->selectAll();
    return false;
}

void CAlarmLimitsDlg::OnOK() {
    int pitch = 0, roll = 0;
    if (!Exchange(m_pPitch, &pitch) || !Exchange(m_pRoll, &roll))
        return; // the dialog stays open
    m_nPitch = pitch;
    m_nRoll = roll;
    accept();
}
