#include "shell/PortSelectDlg.h"

#include "link/PortName.h"
#include "platform/DialogUnits.h"
#include "platform/Prompter.h"

#include "link/NetSource.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CPortSelectDlg::CPortSelectDlg(const QList<Entry>& freePorts, int* port, QWidget* parent)
    : QDialog(parent), m_entries(freePorts), m_pPort(port) {
    setWindowTitle(QCoreApplication::translate("PortSelectDlg", "串口选择"));
    auto* label = new QLabel(
        QCoreApplication::translate("PortSelectDlg", "请选择姿态仪所连接的串口后，点\"设置\"按钮"),
        this);
    label->setWordWrap(true);
    m_pCombo = new QComboBox(this);
    m_pCombo->setObjectName("portChoice");
    // Wide enough for each entry to name its device beside its slot.
    m_pCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pCombo->setMinimumContentsLength(32);
    label->setBuddy(m_pCombo);
    m_pOk = new QPushButton(QCoreApplication::translate("PortSelectDlg", "设置"), this);
    m_pOk->setDefault(true);
    m_pCancel = new QPushButton(QCoreApplication::translate("PortSelectDlg", "取消"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pOk);
    buttons->addWidget(m_pCancel);
    m_pLayout = new QVBoxLayout(this);
    m_pLayout->addWidget(label);
    m_pLayout->addWidget(m_pCombo);
    m_pLayout->addStretch();
    m_pLayout->addLayout(buttons);
    Arrange();
    connect(m_pOk, &QPushButton::clicked, this, &CPortSelectDlg::OnOK);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pCombo, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_nSelection = index; });
}

void CPortSelectDlg::AddPart(QWidget* part) {
    m_pLayout->insertWidget(m_pLayout->count() - 2, part); // above the stretch and the buttons
    Arrange();
}

void CPortSelectDlg::Arrange() {
    // Tab goes through the fields in reading order, then to the buttons.
    QList<QWidget*> order = {m_pCombo};
    if (m_pUrl)
        order << m_pUrl << m_pAdd << m_pRemove;
    if (m_pMore)
        order << m_pMore;
    order << m_pOk << m_pCancel;
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    SizeToContents(this, DialogUnits(this, 0, 0, 235, 0).width()); // at least as wide as it was
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
    auto* part = new QWidget(this);
    auto* label =
        new QLabel(QCoreApplication::translate(
                       "PortSelectDlg",
                       "数据源 URL (serial:设备、tcp://主机:端口、udp://:端口、gpsd://主机):"),
                   part);
    label->setWordWrap(true);
    m_pUrl = new QLineEdit(part);
    m_pUrl->setObjectName("sourceUrl");
    m_pUrl->setPlaceholderText("tcp://192.168.1.20:10110");
    m_pUrl->setMinimumWidth(m_pUrl->fontMetrics().horizontalAdvance(m_pUrl->placeholderText()) +
                            m_pUrl->fontMetrics().averageCharWidth() * 3); // the example whole
    label->setBuddy(m_pUrl);
    m_pAdd = new QPushButton(QCoreApplication::translate("PortSelectDlg", "添加"), part);
    m_pRemove = new QPushButton(QCoreApplication::translate("PortSelectDlg", "删除"), part);
    auto* row = new QHBoxLayout;
    row->addWidget(m_pUrl, 1);
    row->addWidget(m_pAdd);
    row->addWidget(m_pRemove);
    auto* layout = new QVBoxLayout(part);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addLayout(row);
    AddPart(part);
    connect(m_pAdd, &QPushButton::clicked, this, &CPortSelectDlg::OnAddSource);
    connect(m_pRemove, &QPushButton::clicked, this, &CPortSelectDlg::OnRemoveSource);
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
    auto* part = new QWidget(this);
    auto* label = new QLabel(
        QCoreApplication::translate("PortSelectDlg", "同时读取的其他数据源（下次启动时生效）:"),
        part);
    label->setWordWrap(true);
    m_pMore = new QListWidget(part);
    m_pMore->setObjectName("moreSources");
    label->setBuddy(m_pMore);
    auto* layout = new QVBoxLayout(part);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(m_pMore);
    AddPart(part);
}

void CPortSelectDlg::OnAddSource() {
    SourceAddress address;
    std::string error;
    if (!SourceAddress::Parse(m_pUrl->text().trimmed().toStdString(), &address, &error)) {
        CPrompter::Instance().MessageBox(this, QString::fromStdString(error), QString(),
                                         QMessageBox::Ok, CPrompter::Icon::Warning);
        return;
    }
    if (address.kind == SourceAddress::Kind::Serial) {
        // A device a slot stands for already: that slot is chosen.
        for (int i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].device.toStdString() == address.strDevice) {
                m_pCombo->setCurrentIndex(i);
                m_pUrl->clear();
                return;
            }
        }
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
    if (m_fnListPorts)
        m_entries = m_fnListPorts(); // the devices there now, plugged in since start-up too
    m_pCombo->clear();
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
