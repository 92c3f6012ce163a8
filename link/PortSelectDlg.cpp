#include "link/PortSelectDlg.h"

#include "link/PortName.h"
#include "platform/DialogUnits.h"
#include "platform/Prompter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

CPortSelectDlg::CPortSelectDlg(const QList<Entry>& freePorts, int* port, QWidget* parent)
    : QDialog(parent), m_entries(freePorts), m_pPort(port) {
    setWindowTitle(QCoreApplication::translate("PortSelectDlg", "串口选择"));
    setFixedSize(DialogUnits(this, 0, 0, 235, 46).size());
    auto* ok = new QPushButton(QCoreApplication::translate("PortSelectDlg", "设置"), this);
    ok->setDefault(true);
    PlaceInDialogUnits(ok, 178, 7, 50, 14);
    auto* cancel = new QPushButton(QCoreApplication::translate("PortSelectDlg", "取消"), this);
    PlaceInDialogUnits(cancel, 178, 25, 50, 14);
    m_pCombo = new QComboBox(this);
    m_pCombo->setObjectName("combo1000");
    // Wide enough for each entry to name its device beside its slot.
    PlaceInDialogUnits(m_pCombo, 43, 7, 120, 14);
    auto* label = new QLabel(
        QCoreApplication::translate("PortSelectDlg", "请选择姿态仪所连接的串口后，点\"设置\"按钮"),
        this);
    PlaceInDialogUnits(label, 14, 25, 159, 10);
    connect(ok, &QPushButton::clicked, this, &CPortSelectDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pCombo, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_nSelection = index; });
}

int CPortSelectDlg::PreselectIndex(const QStringList& names, int port) {
    const QString current = port == 0 ? QString() : QString::fromStdString(PortName(port));
    const int match = names.indexOf(current);
    if (match >= 0)
        return match;
    return port >= 0 && port < names.size() ? port : -1;
}

void CPortSelectDlg::OnInitDialog() {
    m_nSelection = *m_pPort;
    if (m_entries.isEmpty()) {
        CPrompter::Instance().MessageBox(
            this,
            QCoreApplication::translate("PortSelectDlg",
                                        "     没有空闲串口可用!\n串口被占用或没有连接好"),
            QString(), QMessageBox::Ok, CPrompter::Icon::Warning);
        return;
    }
    QStringList names;
    for (const Entry& entry : m_entries) {
        names << entry.name;
        m_pCombo->addItem(entry.name + "  " + entry.device);
    }
    m_nSelection = PreselectIndex(names, *m_pPort);
    m_pCombo->setCurrentIndex(m_nSelection);
}

int CPortSelectDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CPortSelectDlg::OnOK() {
    int number = 0;
    if (ScanNumberAfterCom(m_pCombo->currentText().toStdString(), &number))
        *m_pPort = number;
    accept();
}
