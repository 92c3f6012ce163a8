#include "shell/SettingsKey.h"

#include "link/PortName.h"

#include <QSettings>

CSettingsKey::CSettingsKey() = default;
CSettingsKey::~CSettingsKey() {
    Close();
}

long CSettingsKey::Create() {
    m_pSettings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                              "Quillmar Solution", "Quillmar");
    return m_pSettings->status() == QSettings::AccessError ? 5 : 0;
}

QString CSettingsKey::ReadString(const QString& name) const {
    if (!m_pSettings)
        return {};
    const QVariant value = m_pSettings->value(name);
    return value.canConvert<QString>() ? value.toString() : QString();
}

void CSettingsKey::Write(const QString& name, const QVariant& value) {
    if (m_pSettings)
        m_pSettings->setValue(name, value);
}

void CSettingsKey::Close() {
    m_pSettings.reset();
}

QStringList CSettingsKey::NetSources() const {
    return m_pSettings ? m_pSettings->value("NetSources").toStringList() : QStringList();
}

void CSettingsKey::WriteNetSources(const QStringList& sources) {
    if (m_pSettings)
        m_pSettings->setValue("NetSources", sources);
}

QMap<int, QString> CSettingsKey::NamedPortDevices() const {
    QMap<int, QString> named;
    for (int port = 1; port <= kPortSlots; ++port) {
        const QString device =
            ReadString(QStringLiteral("Ports/%1").arg(QString::fromStdString(PortName(port))));
        if (!device.isEmpty())
            named.insert(port, device);
    }
    return named;
}

QStringList CSettingsKey::RecentFiles(int count) const {
    QStringList files;
    for (int i = 1; i <= count; ++i) {
        const QString path = ReadString(QString("Recent File List/File%1").arg(i));
        if (!path.isEmpty())
            files << path;
    }
    return files;
}

void CSettingsKey::WriteRecentFiles(const QStringList& files, int count) {
    if (!m_pSettings)
        return;
    for (int i = 0; i < count; ++i)
        m_pSettings->setValue(QString("Recent File List/File%1").arg(i + 1), files.value(i));
}

int ReadConfiguredPort() {
    CSettingsKey key;
    QString text;
    if (key.Create() == 0)
        text = key.ReadString("PortOfMonitor");
    key.Close();
    return PortFromSettingText(text.toStdString());
}

AlarmSettings ReadAlarmSettings() {
    AlarmSettings settings;
    CSettingsKey key;
    if (key.Create() != 0)
        return settings;
    auto number = [&](const char* name, double low, double high, double fallback) {
        bool ok = false;
        const double value = key.ReadString(name).toDouble(&ok);
        return ok && value >= low && value <= high ? value : fallback;
    };
    settings.pitchLimit = static_cast<int>(number("PitchLimit", 0, 90, settings.pitchLimit));
    settings.rollLimit = static_cast<int>(number("RollLimit", 0, 90, settings.rollLimit));
    settings.hysteresis = number("AlarmHysteresis", 0, 90, settings.hysteresis);
    settings.delayMs = static_cast<int>(number("AlarmDelayMs", 0, 3600000, settings.delayMs));
    settings.staleSeconds =
        static_cast<int>(number("StaleSeconds", 1, 86400, settings.staleSeconds));
    return settings;
}

ServeLimits ReadServeLimits() {
    ServeLimits limits;
    CSettingsKey key;
    if (key.Create() != 0)
        return limits;
    auto number = [&](const char* name, qlonglong low, qlonglong high, std::size_t fallback) {
        bool ok = false;
        const qlonglong value = key.ReadString(name).toLongLong(&ok);
        return ok && value >= low && value <= high ? static_cast<std::size_t>(value) : fallback;
    };
    limits.nMaxClients = number("ServeMaxClients", 1, 65536, limits.nMaxClients);
    limits.nMaxQueuedBytes =
        number("ServeMaxQueuedBytes", 64 << 10, qlonglong(1) << 30, limits.nMaxQueuedBytes);
    return limits;
}

void WriteAlarmLimits(int pitchLimit, int rollLimit) {
    CSettingsKey key;
    if (key.Create() != 0)
        return;
    key.Write("PitchLimit", pitchLimit);
    key.Write("RollLimit", rollLimit);
}

QString ReadLanguageSetting() {
    CSettingsKey key;
    return key.Create() == 0 ? key.ReadString("Language") : QString();
}
