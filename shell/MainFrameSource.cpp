// The main frame's part in where the data comes from and where it goes: the
// serial port or a network source (chosen on the command line or in the
// source dialog, the network ones remembered in the settings), and the server
// sharing what is received.
#include "link/NetSource.h"
#include "link/PortName.h"
#include "shell/MainFrame.h"
#include "shell/PortSelectDlg.h"
#include "shell/ServeDlg.h"
#include "shell/SettingsKey.h"

#include <QCoreApplication>
#include <QStatusBar>

void CMainFrame::SetSource(const QString& url) {
    m_strSource = url;
    m_strBadSource.clear(); // the one chosen for this run goes before the settings'
}

void CMainFrame::AddSources(const QString& firstLabel, const QStringList& more) {
    QStringList bad;
    const SourceSettings settings = ReadSourceSettings(&bad);
    // Settings that could not be used are named, never passed over in silence.
    const auto refuse = [&](const QString& name) {
        if (m_badSettings.contains(name))
            return;
        m_badSettings << name;
        m_pSession->LogEvent("program", "bad-setting", name.toStdString());
    };
    for (const QString& name : bad)
        refuse(name);
    m_pSession->SetSourceChoiceSettings(settings.choice);
    m_pSession->SetHeadingCompareSettings(settings.compare);
    m_pSession->SetCourseCheckSettings(settings.course);
    std::vector<std::string> labels;
    if (!firstLabel.isEmpty())
        m_pSession->SetFirstSourceLabel(firstLabel.toStdString());
    labels.push_back(firstLabel.toStdString());
    for (const QString& text : more.isEmpty() ? settings.moreSources : more) {
        SourceAddress address;
        std::string label, error;
        if (!SourceAddress::ParseLabelled(text.toStdString(), &label, &address, &error) ||
            std::find(labels.begin(), labels.end(), label) != labels.end()) {
            refuse("MoreSources");
            continue;
        }
        labels.push_back(label);
        m_pSession->AddSource(label, address);
    }
    if (labels.size() < 2)
        return;
    // A priority names labels; the first source is the one without a name
    // unless it was given one.
    static constexpr Quantity kOrdered[] = {Quantity::Heading, Quantity::Pitch, Quantity::Roll};
    for (int i = 0; i < 3; ++i) {
        std::vector<int> order;
        for (const QString& name : settings.priority[i]) {
            const auto at = std::find(labels.begin(), labels.end(), name.toStdString());
            if (at != labels.end())
                order.push_back(static_cast<int>(at - labels.begin()));
        }
        m_pSession->SetSourcePriority(kOrdered[i], order);
    }
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

bool CMainFrame::Serve(const QString& address, const QString& udpAddress, UdpOutput::Format format,
                       QString* error) {
    ServeTarget target;
    QString reason;
    bool ok = CServeDlg::Parse(true, address, udpAddress, &target, &reason);
    target.udp = m_udpOutput;
    target.udp.format = format;
    if (ok) {
        // The session has not started: this is carried out at once.
        reason = QString::fromStdString(m_pSession->ServeAt(target).get());
        ok = reason.isEmpty();
    }
    if (ok) {
        m_strServeAddress = address;
        m_strServeUdpAddress = udpAddress;
        m_udpOutput.format = format;
    } else if (error) {
        *error = tr("无法提供数据服务：%1").arg(reason);
    }
    return ok;
}

void CMainFrame::OnServe() {
    CSettingsKey key;
    key.Create();
    const bool on = !m_strServeAddress.isEmpty();
    CServeDlg dialog(*m_pSession, on, on ? m_strServeAddress : QString("10110"),
                     on ? m_strServeUdpAddress : key.ReadString("ServeUdpAddress"), m_udpOutput,
                     this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_strServeAddress = dialog.On() ? dialog.Address() : QString();
    m_strServeUdpAddress = dialog.On() ? dialog.UdpAddress() : QString();
    m_udpOutput = dialog.Udp();
    // Off is an empty ServeAddress; the datagrams' address and form stay for next time.
    key.Write("ServeAddress", m_strServeAddress);
    key.Write("ServeUdpAddress", dialog.UdpAddress());
    key.Write("ServeUdpFormat", UdpFormatText(m_udpOutput.format));
}

void CMainFrame::OnSelectPort() {
    // The devices are looked for as the dialog opens: adapters plugged in
    // since start-up are offered too.
    auto listPorts = [this] {
        m_slots.Refresh(m_fnListDevices());
        FindFreePorts();
        QList<CPortSelectDlg::Entry> entries;
        for (const QString& name : m_arrFreePorts) {
            int number = 0;
            ScanNumberAfterCom(name.toStdString(), &number);
            entries.append({name, m_slots.Device(number)});
        }
        return entries;
    };
    CSettingsKey key;
    key.Create();
    QStringList sources = key.NetSources();
    QString chosen = m_strSource;
    QStringList more = key.ReadString("MoreSources").split(' ', Qt::SkipEmptyParts);
    const QStringList moreBefore = more;
    CPortSelectDlg dialog({}, &m_nPort, this);
    dialog.SetPortLister(listPorts);
    dialog.SetNetSources(&sources, &chosen);
    dialog.SetMoreSources(&more);
    const int result = dialog.DoModal();
    key.WriteNetSources(sources); // added and removed, whichever button ends it
    if (result == QDialog::Accepted && more != moreBefore) {
        // A session's sources are set when it starts.
        key.Write("MoreSources", more.join(' '));
        statusBar()->showMessage(
            QCoreApplication::translate("MainFrame", "其他数据源已保存，下次启动时生效"), 10000);
    }
    if (result == QDialog::Accepted) {
        m_strSource = chosen;
        m_strBadSource.clear();
        key.Write("Source", chosen); // the next start opens it too; empty: the port
        OpenSerialPort();
    }
}
