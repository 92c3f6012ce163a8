#include "shell/SettingsKey.h"

#include "link/PortName.h"
#include "link/Udp450.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QSettings>
#include <QStandardPaths>
#include <sys/stat.h>

namespace {
const char kOrganization[] = "Quillmar Solution";
const char kApplication[] = "Quillmar";

QString& Folder() {
    static QString folder;
    return folder;
}

// A service's settings file, named whole (QUILLMAR_SETTINGS=/etc/quillmar/quillmar.ini);
// empty: the user's.
QString NamedFile() {
    return qEnvironmentVariable("QUILLMAR_SETTINGS");
}
} // namespace

void SetSettingsFolder(const QString& folder) {
    Folder() = folder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

QString SettingsRefusal() {
    // The files QSettings reads, the user's and the machine's (or the one a
    // service names), each looked at without opening it.
    const QString user =
        Folder().isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                           : Folder();
    const QString machine = QLibraryInfo::path(QLibraryInfo::SettingsPath);
    QStringList paths;
    for (const QString& folder : {user, machine}) {
        for (const QString& name : {QString("%1/%2.ini").arg(kOrganization, kApplication),
                                    QString("%1.ini").arg(kOrganization)})
            paths << folder + "/" + name;
    }
    if (!NamedFile().isEmpty())
        paths = QStringList{NamedFile()};
    for (const QString& path : paths) {
        struct stat info {};
        if (stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode))
            return QCoreApplication::translate(
                       "SettingsKey", "设置文件不是普通文件：%1\n本次运行不读取也不保存设置")
                .arg(path);
    }
    return {};
}

CSettingsKey::CSettingsKey() = default;
CSettingsKey::~CSettingsKey() {
    Close();
}

long CSettingsKey::Create() {
    m_pSettings.reset();
    if (!SettingsRefusal().isEmpty())
        return 5;
    m_pSettings = NamedFile().isEmpty()
                      ? std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                    kOrganization, kApplication)
                      : std::make_unique<QSettings>(NamedFile(), QSettings::IniFormat);
    return m_pSettings->status() == QSettings::AccessError ? 5 : 0;
}

QString CSettingsKey::ReadString(const QString& name) const {
    if (!m_pSettings)
        return {};
    const QVariant value = m_pSettings->value(name);
    return value.canConvert<QString>() ? value.toString() : QString();
}

void CSettingsKey::Write(const QString& name, const QVariant& value) {
    if (!m_pSettings)
        return;
    // Nothing to keep is no entry at all: QSettings would write an empty list
    // or a null value as "@Invalid()", which no reader wants.
    const int type = value.metaType().id();
    const bool empty = !value.isValid() || value.isNull() ||
                       ((type == QMetaType::QStringList || type == QMetaType::QVariantList) &&
                        value.toList().isEmpty());
    if (empty)
        m_pSettings->remove(name);
    else
        m_pSettings->setValue(name, value);
}

void CSettingsKey::Close() {
    m_pSettings.reset();
}

QStringList CSettingsKey::NetSources() const {
    return m_pSettings ? m_pSettings->value("NetSources").toStringList() : QStringList();
}

void CSettingsKey::WriteNetSources(const QStringList& sources) {
    Write("NetSources", sources);
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
        Write(QString("Recent File List/File%1").arg(i + 1), files.value(i));
}

int ReadConfiguredPort() {
    CSettingsKey key;
    QString text;
    if (key.Create() == 0)
        text = key.ReadString("PortOfMonitor");
    key.Close();
    return PortFromSettingText(text.toStdString());
}

namespace {
// A number setting within [low, high]; else fallback, and a value that was
// there but unusable named in badKeys.
double ReadNumber(const CSettingsKey& key, const char* name, double low, double high,
                  double fallback, QStringList* badKeys) {
    const QString text = key.ReadString(name);
    bool ok = false;
    const double value = text.toDouble(&ok);
    // NaN fails both comparisons; infinities fail one.
    if (ok && value >= low && value <= high)
        return value;
    if (!text.isEmpty() && badKeys)
        *badKeys << name;
    return fallback;
}
} // namespace

AlarmSettings ReadAlarmSettings(QStringList* badKeys) {
    AlarmSettings settings;
    CSettingsKey key;
    if (key.Create() != 0)
        return settings;
    auto number = [&](const char* name, double low, double high, double fallback) {
        return ReadNumber(key, name, low, high, fallback, badKeys);
    };
    settings.pitchLimit = static_cast<int>(number("PitchLimit", 0, 90, settings.pitchLimit));
    settings.rollLimit = static_cast<int>(number("RollLimit", 0, 90, settings.rollLimit));
    settings.hysteresis = number("AlarmHysteresis", 0, 90, settings.hysteresis);
    settings.delayMs = static_cast<std::int64_t>(
        number("AlarmDelayMs", 0, 3600000, static_cast<double>(settings.delayMs)));
    settings.staleSeconds =
        static_cast<int>(number("StaleSeconds", 1, 86400, settings.staleSeconds));
    return settings;
}

SentenceOptions ReadSentenceOptions(QStringList* badKeys) {
    SentenceOptions options;
    CSettingsKey key;
    if (key.Create() != 0)
        return options;
    const QString meaning = key.ReadString("RotMeaning").trimmed().toLower();
    if (meaning == "rate")
        options.bGpRotIsPitch = false;
    else if (!meaning.isEmpty() && meaning != "pitch" && badKeys)
        *badKeys << "RotMeaning";
    return options;
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

bool ParseUdpFormat(const QString& text, UdpOutput::Format* format) {
    const QString name = text.trimmed().toLower();
    if (name != "nmea" && name != "iec450")
        return false;
    *format = name == "nmea" ? UdpOutput::Format::Nmea : UdpOutput::Format::Iec450;
    return true;
}

QString UdpFormatText(UdpOutput::Format format) {
    return format == UdpOutput::Format::Iec450 ? "iec450" : "nmea";
}

UdpOutput ReadUdpOutput(QStringList* badKeys) {
    UdpOutput output;
    CSettingsKey key;
    if (key.Create() != 0)
        return output;
    const auto bad = [&](const char* name) {
        if (badKeys)
            *badKeys << name;
    };
    const QString format = key.ReadString("ServeUdpFormat");
    if (!format.isEmpty() && !ParseUdpFormat(format, &output.format))
        bad("ServeUdpFormat");
    const QString source = key.ReadString("Udp450Source").trimmed();
    if (IsUdp450Source(source.toStdString()))
        output.strSource = source.toStdString();
    else if (!source.isEmpty())
        bad("Udp450Source");
    const QString ttl = key.ReadString("ServeUdpTtl").trimmed();
    bool ok = false;
    const int hops = ttl.toInt(&ok);
    if (ok && hops >= 0 && hops <= 255)
        output.nTtl = hops;
    else if (!ttl.isEmpty())
        bad("ServeUdpTtl");
    return output;
}

SourceSettings ReadSourceSettings(QStringList* badKeys) {
    SourceSettings settings;
    CSettingsKey key;
    if (key.Create() != 0)
        return settings;
    auto number = [&](const char* name, double low, double high, double fallback) {
        return ReadNumber(key, name, low, high, fallback, badKeys);
    };
    const auto ms = [](double seconds) { return static_cast<std::int64_t>(seconds * 1000); };
    settings.choice.maxTurnRate = number("MaxTurnRate", 1, 1000, settings.choice.maxTurnRate);
    settings.choice.staleMs = ReadAlarmSettings().StaleMs();
    settings.choice.failbackMs =
        ms(number("FailbackSeconds", 0, 3600, settings.choice.failbackMs / 1000.0));
    HeadingCompareSettings& compare = settings.compare;
    compare.limit = number("HeadingDiffLimit", 0.1, 180, compare.limit);
    compare.magneticLimit = number("MagneticDiffLimit", 0.1, 180, compare.magneticLimit);
    compare.setMs = ms(number("HeadingDiffSetSeconds", 0, 3600, compare.setMs / 1000.0));
    compare.clearMs = ms(number("HeadingDiffClearSeconds", 0, 3600, compare.clearMs / 1000.0));
    compare.maxAgeMs = static_cast<std::int64_t>(
        number("MaxAgeMs", 50, 60000, static_cast<double>(compare.maxAgeMs)));
    settings.course.minKnots = number("CogCheckKnots", 0, 100, settings.course.minKnots);
    settings.course.limit = number("CogDiffLimit", 1, 180, settings.course.limit);
    const char* const priorities[] = {"HeadingPriority", "PitchPriority", "RollPriority"};
    for (int i = 0; i < 3; ++i)
        settings.priority[i] = key.ReadString(priorities[i]).split(',', Qt::SkipEmptyParts);
    for (QStringList& labels : settings.priority) {
        for (QString& label : labels)
            label = label.trimmed();
    }
    settings.moreSources = key.ReadString("MoreSources").split(' ', Qt::SkipEmptyParts);
    return settings;
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

WindowSettings ReadWindowSettings() {
    CSettingsKey key;
    WindowSettings window;
    if (key.Create() != 0)
        return window;
    window.geometry = QByteArray::fromBase64(key.ReadString("WindowGeometry").toLatin1());
    window.view = key.ReadString("View");
    return window;
}

void WriteWindowSettings(const WindowSettings& window) {
    CSettingsKey key;
    if (key.Create() != 0)
        return;
    // As text: the settings file stays readable and editable.
    key.Write("WindowGeometry", QString::fromLatin1(window.geometry.toBase64()));
    key.Write("View", window.view);
}
