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
#include <QListWidget>
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

namespace {
// The URL of a "label=url" or bare URL, and its label; false when unusable.
bool Labelled(const QString& text, QString* url, QString* label) {
    SourceAddress address;
    std::string name;
    if (!SourceAddress::ParseLabelled(text.toStdString(), &name, &address, nullptr))
        return false;
    *url = QString::fromStdString(address.Url());
    *label = QString::fromStdString(name);
    return true;
}

void AddMoreItem(QListWidget* list, const QString& url, bool ticked) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(Qt::UserRole).toString() == url)
            return;
    }
    auto* item = new QListWidgetItem(url, list);
    item->setData(Qt::UserRole, url);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}
} // namespace

void CPortSelectDlg::SetMoreSources(QStringList* more) {
    m_pMoreSources = more;
    setFixedSize(DialogUnits(this, 0, 0, 235, 146).size());
    auto* label = new QLabel(
        QCoreApplication::translate("PortSelectDlg", "同时读取的其他数据源（下次启动时生效）:"),
        this);
    PlaceInDialogUnits(label, 14, 79, 214, 10);
    m_pMore = new QListWidget(this);
    m_pMore->setObjectName("moreSources");
    PlaceInDialogUnits(m_pMore, 14, 91, 214, 48);
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
        if (m_pMore)
            AddMoreItem(m_pMore, url, false);
    }
    m_pCombo->setCurrentIndex(m_pCombo->findText(url));
    m_pUrl->clear();
}

void CPortSelectDlg::OnRemoveSource() {
    const int index = m_pCombo->currentIndex();
    if (!m_pSources || index < static_cast<int>(m_entries.size()))
        return; // the ports are the machine's, not the operator's to remove
    const QString url = m_pCombo->itemText(index);
    m_pSources->removeAll(url);
    m_pCombo->removeItem(index);
    for (int i = m_pMore ? m_pMore->count() - 1 : -1; i >= 0; --i) {
        if (m_pMore->item(i)->data(Qt::UserRole).toString() == url)
            delete m_pMore->takeItem(i);
    }
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
    if (m_pMore) {
        QStringList ticked;
        for (const QString& text : *m_pMoreSources) {
            QString url, label;
            if (Labelled(text, &url, &label))
                ticked << url;
        }
        QStringList urls;
        for (const Entry& entry : m_entries)
            urls << QString::fromStdString(
                SourceAddress{SourceAddress::Kind::Serial, entry.device.toStdString(), {}, 0, {}}
                    .Url());
        if (m_pSources)
            urls << *m_pSources;
        for (const QString& url : ticked + urls) // those ticked stay offered, even when away
            AddMoreItem(m_pMore, url, ticked.contains(url));
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
    if (m_pMore) {
        // The one chosen above is the first source, not a further one; a
        // label given before is kept.
        const bool net = index >= static_cast<int>(m_entries.size());
        const QString first = net          ? m_pCombo->itemText(index)
                              : index >= 0 ? QString::fromStdString(SourceAddress{
                                                 SourceAddress::Kind::Serial,
                                                 m_entries[index].device.toStdString(),
                                                 {},
                                                 0,
                                                 {}}.Url())
                                           : QString();
        QStringList more;
        for (int i = 0; i < m_pMore->count(); ++i) {
            const QString url = m_pMore->item(i)->data(Qt::UserRole).toString();
            if (m_pMore->item(i)->checkState() != Qt::Checked || url == first)
                continue;
            QString label;
            for (const QString& text : *m_pMoreSources) {
                QString was, name;
                if (Labelled(text, &was, &name) && was == url)
                    label = name;
            }
            QString unused;
            if (label.isEmpty())
                Labelled(url, &unused, &label);
            more << label + "=" + url;
        }
        *m_pMoreSources = more;
    }
    accept();
}
