// The main frame's part in where the data comes from and where it goes: the
// serial port or a network source (chosen on the command line or in the
// source dialog, the network ones remembered in the settings), and the server
// sharing what is received.
#include "link/NetSource.h"
#include "link/NmeaServer.h"
#include "link/PortName.h"
#include "link/PortSelectDlg.h"
#include "shell/MainFrame.h"
#include "shell/SettingsKey.h"

void CMainFrame::SetSource(const QString& url) {
    m_strSource = url;
}

bool CMainFrame::UseNetSource() {
    SourceAddress address;
    if (m_strSource.isEmpty() ||
        !SourceAddress::Parse(m_strSource.toStdString(), &address, nullptr))
        return false;
    if (address.kind == SourceAddress::Kind::Serial) {
        m_slots.SetDevice(m_nPort, QString::fromStdString(address.strDevice));
        m_strSource.clear();
        return false;
    }
    m_pSession->UseSourceAddress(address);
    return true;
}

bool CMainFrame::Serve(const QString& address, const QString& udpAddress, QString* error) {
    std::string host, reason;
    unsigned port = 0;
    bool ok = CNmeaServer::ParseAddress(address.toStdString(), &host, &port, &reason) &&
              m_pSession->Serve(host, port, &reason);
    if (ok && !udpAddress.isEmpty()) {
        ok = CNmeaServer::ParseAddress(udpAddress.toStdString(), &host, &port, &reason) &&
             m_pSession->ServeUdp(host, port, &reason);
    }
    if (!ok && error)
        *error = tr("无法提供数据服务：%1").arg(QString::fromStdString(reason));
    return ok;
}

QString CMainFrame::NetLinkText(const LinkState& link) const {
    const QString source = QString::fromStdString(link.strSource);
    const QString reason = QString::fromStdString(link.strError);
    switch (link.kind) {
    case LinkState::Kind::Connecting:
        return tr("正在连接 %1…").arg(source);
    case LinkState::Kind::Vanished:
        return reason.isEmpty() ? tr("%1 连接已断开，等待重新连接…").arg(source)
                                : tr("%1 连接已断开（%2），等待重新连接…").arg(source, reason);
    default:
        return tr("无法连接 %1：%2，稍后自动重试").arg(source, reason);
    }
}

void CMainFrame::OnSelectPort() {
    // Adapters plugged in since start-up are offered too.
    m_slots.Refresh(m_fnListDevices());
    FindFreePorts();
    QList<CPortSelectDlg::Entry> entries;
    for (const QString& name : m_arrFreePorts) {
        int number = 0;
        ScanNumberAfterCom(name.toStdString(), &number);
        entries.append({name, m_slots.Device(number)});
    }
    CSettingsKey key;
    key.Create();
    QStringList sources = key.NetSources();
    QString chosen = m_strSource;
    CPortSelectDlg dialog(entries, &m_nPort, this);
    dialog.SetNetSources(&sources, &chosen);
    const int result = dialog.DoModal();
    key.WriteNetSources(sources); // added and removed, whichever button ends it
    if (result == QDialog::Accepted) {
        m_strSource = chosen;
        OpenSerialPort();
    }
}
