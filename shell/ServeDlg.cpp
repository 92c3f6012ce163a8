#include "shell/ServeDlg.h"

#include "link/NmeaServer.h"
#include "platform/DialogUnits.h"
#include "platform/ErrorText.h"
#include "platform/Prompter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kStateRefreshMs = 1000;
constexpr int kAnswerLookMs = 10;
} // namespace

CServeDlg::CServeDlg(CInstrumentSession& session, bool on, const QString& address,
                     const QString& udpAddress, const UdpOutput& udp, QWidget* parent)
    : QDialog(parent), m_session(session), m_udp(udp) {
    setWindowTitle(tr("数据转发"));
    m_pOn = new QCheckBox(tr("向网络客户端转发收到的语句"), this);
    m_pOn->setChecked(on);
    m_pAddress = new QLineEdit(address, this);
    m_pAddress->setPlaceholderText(tr("[主机:]端口，如 10110 或 0.0.0.0:10110"));
    m_pUdp = new QLineEdit(udpAddress, this);
    m_pUdp->setPlaceholderText(tr("主机:端口（可选，可为广播或组播地址）"));
    m_pUdp450 = new QCheckBox(tr("按 IEC 61162-450 格式发送（UdPbC 报头，标签块，设备标识 %1）")
                                  .arg(QString::fromStdString(udp.strSource)),
                              this);
    m_pUdp450->setChecked(udp.format == UdpOutput::Format::Iec450);
    m_pState = new QLabel(this);
    m_pState->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(tr("TCP 服务地址："), m_pAddress);
    form->addRow(tr("UDP 发送地址："), m_pUdp);
    form->addRow(QString(), m_pUdp450);
    auto* buttons = new QDialogButtonBox(this);
    m_pOk = buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    m_pOk->setDefault(true);
    buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pOn);
    layout->addLayout(form);
    layout->addWidget(m_pState);
    layout->addWidget(buttons);
    auto enable = [this] {
        m_pAddress->setEnabled(m_pOn->isChecked());
        m_pUdp->setEnabled(m_pOn->isChecked());
        m_pUdp450->setEnabled(m_pOn->isChecked());
    };
    enable();
    connect(m_pOn, &QCheckBox::toggled, this, enable);
    connect(buttons, &QDialogButtonBox::accepted, this, &CServeDlg::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The clients come and go while the dialog is open.
    m_stateTimer.setInterval(kStateRefreshMs);
    connect(&m_stateTimer, &QTimer::timeout, this, &CServeDlg::RefreshState);
    m_stateTimer.start();
    m_waitTimer.setInterval(kAnswerLookMs);
    connect(&m_waitTimer, &QTimer::timeout, this, &CServeDlg::OnApplied);
    RefreshState();
    SizeToContents(this, 400); // the state line and the hints on one line each
}

bool CServeDlg::On() const {
    return m_pOn->isChecked();
}

QString CServeDlg::Address() const {
    return m_pAddress->text().trimmed();
}

QString CServeDlg::UdpAddress() const {
    return m_pUdp->text().trimmed();
}

UdpOutput CServeDlg::Udp() const {
    UdpOutput udp = m_udp;
    udp.format = m_pUdp450->isChecked() ? UdpOutput::Format::Iec450 : UdpOutput::Format::Nmea;
    return udp;
}

bool CServeDlg::Parse(bool on, const QString& address, const QString& udpAddress,
                      ServeTarget* target, QString* error) {
    *target = {};
    if (!on)
        return true;
    std::string reason;
    bool ok =
        CNmeaServer::ParseAddress(address.toStdString(), &target->strHost, &target->nPort, &reason);
    if (ok && !udpAddress.isEmpty()) {
        ok = CNmeaServer::ParseAddress(udpAddress.toStdString(), &target->strUdpHost,
                                       &target->nUdpPort, &reason);
    }
    if (!ok && error)
        *error = QString::fromStdString(reason);
    return ok;
}

QString CServeDlg::StateText(const ServeState& state) {
    QString text;
    if (state.bListening) {
        text = tr("正在监听 %1，%2 个客户端")
                   .arg(QString::fromStdString(state.strAddress))
                   .arg(state.nClients);
        if (state.bOpenToNetwork)
            text += tr("（对网络开放：能连到本机的任何人都能读取数据）");
        if (state.nRefused != 0 || state.nDropped != 0)
            text += tr("；已拒绝 %1 个，已断开 %2 个").arg(state.nRefused).arg(state.nDropped);
        if (state.nAcceptError != 0)
            text += "\n" + tr("暂不接受新客户端（%1），每秒重试")
                               .arg(QString::fromStdString(SystemErrorText(state.nAcceptError)));
    }
    if (!state.strUdpAddress.empty()) {
        const QString udp = QString::fromStdString(state.strUdpAddress);
        if (state.bUdp450)
            text = text.isEmpty() ? tr("IEC 61162-450 数据报发往 %1").arg(udp)
                                  : tr("%1；IEC 61162-450 数据报发往 %2").arg(text, udp);
        else
            text = text.isEmpty() ? tr("数据报发往 %1").arg(udp)
                                  : tr("%1；数据报发往 %2").arg(text, udp);
    }
    if (text.isEmpty())
        text = tr("未在转发");
    if (!state.strError.empty())
        text += "\n" + tr("无法转发：%1").arg(QString::fromStdString(state.strError));
    return text;
}

void CServeDlg::RefreshState() {
    if (!m_applied.valid())
        m_pState->setText(StateText(m_session.Serving()));
}

void CServeDlg::reject() {
    if (!m_applied.valid()) // else the choice is being made: its answer closes the dialog
        QDialog::reject();
}

void CServeDlg::OnOK() {
    if (m_applied.valid())
        return; // the last choice is still being made
    ServeTarget target;
    QString error;
    if (!Parse(On(), Address(), UdpAddress(), &target, &error)) {
        CPrompter::Instance().MessageBox(this, error, QString(), QMessageBox::Ok,
                                         CPrompter::Icon::Warning);
        return;
    }
    if (!target.strUdpHost.empty())
        target.udp = Udp();
    m_pOk->setEnabled(false);
    m_pState->setText(tr("正在应用…"));
    m_applied = m_session.ServeAt(target);
    m_waitTimer.start();
    OnApplied();
}

void CServeDlg::OnApplied() {
    if (!m_applied.valid() ||
        m_applied.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    m_waitTimer.stop();
    const std::string error = m_applied.get();
    m_pOk->setEnabled(true);
    RefreshState();
    if (error.empty()) {
        accept();
        return;
    }
    CPrompter::Instance().MessageBox(this,
                                     tr("无法提供数据服务：%1").arg(QString::fromStdString(error)),
                                     QString(), QMessageBox::Ok, CPrompter::Icon::Warning);
}
