#include "shell/PortSelectDlg.h"

#include "link/PortName.h"
#include "platform/DialogUnits.h"
#include "platform/Prompter.h"
#include "platform/UiText.h"

#include "link/NetSource.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
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
    m_pCombo->setObjectName("portChoice");
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

void CPortSelectDlg::SetNetSources(QStringList* sources, QString* chosen) {
    m_pSources = sources;
    m_pChosen = chosen;
    setFixedSize(DialogUnits(this, 0, 0, 235, 82).size());
    auto* label =
        new QLabel(QCoreApplication::translate(
                       "PortSelectDlg", "网络数据源 (tcp://主机:端口、udp://:端口、gpsd://主机):"),
                   this);
    PlaceInDialogUnits(label, 14, 43, 214, 10);
    m_pUrl = new QLineEdit(this);
    m_pUrl->setObjectName("sourceUrl");
    m_pUrl->setPlaceholderText("tcp://192.168.1.20:10110");
    PlaceInDialogUnits(m_pUrl, 14, 58, 120, 14);
    auto* add = new QPushButton(QCoreApplication::translate("PortSelectDlg", "添加"), this);
    PlaceInDialogUnits(add, 138, 58, 36, 14);
    auto* remove = new QPushButton(QCoreApplication::translate("PortSelectDlg", "删除"), this);
    PlaceInDialogUnits(remove, 178, 58, 50, 14);
    connect(add, &QPushButton::clicked, this, &CPortSelectDlg::OnAddSource);
    connect(remove, &QPushButton::clicked, this, &CPortSelectDlg::OnRemoveSource);
}

void CPortSelectDlg::OnAddSource() {
    SourceAddress address;
    std::string error;
    if (!SourceAddress::Parse(m_pUrl->text().trimmed().toStdString(), &address, &error) ||
        address.kind == SourceAddress::Kind::Serial) {
        if (error.empty())
            error = UiText("PortSelectDlg", "串口请在上面的列表中选择");
        CPrompter::Instance().MessageBox(this, QString::fromStdString(error), QString(),
                                         QMessageBox::Ok, CPrompter::Icon::Warning);
        return;
    }
    const QString url = QString::fromStdString(address.Url());
    if (!m_pSources->contains(url)) {
        m_pSources->append(url);
        m_pCombo->addItem(url);
    }
    m_pCombo->setCurrentIndex(m_pCombo->findText(url));
    m_pUrl->clear();
}

void CPortSelectDlg::OnRemoveSource() {
    const int index = m_pCombo->currentIndex();
    if (!m_pSources || index < static_cast<int>(m_entries.size()))
        return; // the ports are the machine's, not the operator's to remove
    m_pSources->removeAll(m_pCombo->itemText(index));
    m_pCombo->removeItem(index);
}

void CPortSelectDlg::OnInitDialog() {
    m_nSelection = *m_pPort;
    if (m_pSources) {
        for (const QString& url : *m_pSources)
            m_pCombo->addItem(url);
    }
    if (m_entries.isEmpty() && (!m_pSources || m_pSources->isEmpty())) {
        CPrompter::Instance().MessageBox(
            this,
            QCoreApplication::translate("PortSelectDlg",
                                        "     没有空闲串口可用!\n串口被占用或没有连接好"),
            QString(), QMessageBox::Ok, CPrompter::Icon::Warning);
        return;
    }
    QStringList names;
    for (int i = 0; i < m_entries.size(); ++i) {
        names << m_entries[i].name;
        m_pCombo->insertItem(i, m_entries[i].name + "  " + m_entries[i].device);
    }
    m_nSelection = PreselectIndex(names, *m_pPort);
    if (m_pChosen && !m_pChosen->isEmpty())
        m_nSelection = m_pCombo->findText(*m_pChosen);
    m_pCombo->setCurrentIndex(m_nSelection);
}

int CPortSelectDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CPortSelectDlg::OnOK() {
    const int index = m_pCombo->currentIndex();
    if (m_pChosen) {
        const bool net = index >= static_cast<int>(m_entries.size());
        *m_pChosen = net ? m_pCombo->itemText(index) : QString();
    }
    int number = 0;
    if (ScanNumberAfterCom(m_pCombo->currentText().toStdString(), &number))
        *m_pPort = number;
    accept();
}
