#include "shell/AlarmLimitsDlg.h"

#include "platform/DialogUnits.h"
#include "platform/Prompter.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CAlarmLimitsDlg::CAlarmLimitsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QCoreApplication::translate("AlarmLimitsDlg", "报警角度设定"));
    setFixedSize(DialogUnits(this, 0, 0, 202, 100).size());
    auto* ok = new QPushButton(QCoreApplication::translate("AlarmLimitsDlg", "确定"), this);
    ok->setDefault(true);
    PlaceInDialogUnits(ok, 47, 79, 31, 14);
    auto* cancel = new QPushButton(QCoreApplication::translate("AlarmLimitsDlg", "取消"), this);
    PlaceInDialogUnits(cancel, 117, 79, 31, 14);
    auto* pitchGroup =
        new QGroupBox(QCoreApplication::translate("AlarmLimitsDlg", "俯仰角范围"), this);
    pitchGroup->setAlignment(Qt::AlignHCenter);
    PlaceInDialogUnits(pitchGroup, 7, 7, 82, 48);
    auto* rollGroup =
        new QGroupBox(QCoreApplication::translate("AlarmLimitsDlg", "横滚角范围"), this);
    rollGroup->setAlignment(Qt::AlignHCenter);
    PlaceInDialogUnits(rollGroup, 113, 7, 82, 48);
    PlaceInDialogUnits(new QLabel(QCoreApplication::translate("AlarmLimitsDlg", "正负"), this), 19,
                       28, 15, 9);
    PlaceInDialogUnits(new QLabel(QCoreApplication::translate("AlarmLimitsDlg", "正负"), this), 125,
                       28, 15, 9);
    m_pPitch = new QLineEdit(this);
    m_pPitch->setObjectName("pitchLimit");
    PlaceInDialogUnits(m_pPitch, 45, 27, 31, 12);
    m_pRoll = new QLineEdit(this);
    m_pRoll->setObjectName("rollLimit");
    PlaceInDialogUnits(m_pRoll, 153, 27, 31, 12);
    PlaceInDialogUnits(
        new QLabel(QCoreApplication::translate("AlarmLimitsDlg",
                                               "实时监控时，角度超过上述设定范围系统将会报警！"),
                   this),
        15, 65, 173, 10);
    connect(ok, &QPushButton::clicked, this, &CAlarmLimitsDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
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
