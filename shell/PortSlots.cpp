#include "shell/PortSlots.h"

#include "link/PortName.h"

#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

void CPortSlots::Assign(const QMap<int, QString>& named, const QStringList& present) {
    for (auto& device : m_devices)
        device.clear();
    for (auto it = named.begin(); it != named.end(); ++it) {
        if (it.key() >= 1 && it.key() <= kPortSlots)
            m_devices[it.key() - 1] = it.value();
    }
    Refresh(present);
}

bool CPortSlots::Refresh(const QStringList& present, int preferred) {
    bool changed = false;
    int slot = 0;
    for (const QString& device : present) {
        if (std::find(std::begin(m_devices), std::end(m_devices), device) != std::end(m_devices))
            continue;
        changed = true;
        // The slot in use gets the first newcomer when it has no device.
        if (preferred >= 1 && preferred <= kPortSlots && m_devices[preferred - 1].isEmpty()) {
            m_devices[preferred - 1] = device;
            continue;
        }
        while (slot < kPortSlots && !m_devices[slot].isEmpty())
            ++slot;
        if (slot == kPortSlots)
            break;
        m_devices[slot] = device;
    }
    return changed;
}

QString CPortSlots::Device(int port) const {
    if (port < 1 || port > kPortSlots)
        return {};
    return m_devices[port - 1];
}

void CPortSlots::SetDevice(int port, const QString& device) {
    if (port >= 1 && port <= kPortSlots)
        m_devices[port - 1] = device;
}

void CPortSlots::SortDevices(QStringList& devices) {
    static const QRegularExpression pattern(QStringLiteral("^(.*?)(\\d*)$"));
    auto rank = [](const QString& path) {
        if (path.contains("ttyUSB"))
            return 0;
        if (path.contains("ttyACM"))
            return 1;
        if (path.contains("ttyS"))
            return 3;
        return 2;
    };
    std::stable_sort(devices.begin(), devices.end(), [&](const QString& a, const QString& b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        const auto ma = pattern.match(a);
        const auto mb = pattern.match(b);
        if (ma.captured(1) != mb.captured(1))
            return ma.captured(1) < mb.captured(1);
        return ma.captured(2).toLongLong() < mb.captured(2).toLongLong();
    });
}

QStringList CPortSlots::PresentDevices() {
    QStringList devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices << info.systemLocation();
    SortDevices(devices);
    return devices;
}
