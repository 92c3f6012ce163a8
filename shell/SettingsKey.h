// The program's own settings, kept with QSettings under the organization
// "Quillmar Solution" (~/.config/Quillmar Solution/Quillmar.ini). Every
// setting is read and written here.
#pragma once

#include "link/AlarmSettings.h"
#include "link/HeadingCompare.h"
#include "link/NmeaServer.h"
#include "link/Sentences.h"
#include "link/SourceChoice.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class QSettings;

class CSettingsKey {
public:
    CSettingsKey();
    ~CSettingsKey();
    // 0 when the settings can be used, else 5 (no access, or SettingsRefusal()).
    long Create();
    // The text of a value; empty when it is missing or cannot be read.
    QString ReadString(const QString& name) const;
    // A value nothing is kept in (an empty list, a null value) removes the
    // setting: no entry is ever written that reads back as invalid.
    void Write(const QString& name, const QVariant& value);
    void Close();

    // Slots given a device by name: the group "Ports", keys COM1..COM8.
    QMap<int, QString> NamedPortDevices() const;
    // The network sources the operator added ("NetSources", URLs).
    QStringList NetSources() const;
    void WriteNetSources(const QStringList& sources);
    // The recent-file list: "Recent File List/File1".. in order, newest first.
    QStringList RecentFiles(int count) const;
    void WriteRecentFiles(const QStringList& files, int count);

private:
    std::unique_ptr<QSettings> m_pSettings;
};

// The folder the settings file is in (the user's configuration folder unless
// given; tests give one of their own). A service names its file whole in the
// environment instead: QUILLMAR_SETTINGS=/etc/quillmar/quillmar.ini.
void SetSettingsFolder(const QString& folder);
// Why the settings cannot be used in this run: a settings file there that is
// not a regular file (reading a FIFO would wait for ever). Empty when they
// can; while not, Create() refuses and every setting reads as missing.
QString SettingsRefusal();

// The setting "Language" ("en", "zh"; empty when missing).
QString ReadLanguageSetting();
// The port number configured in "PortOfMonitor" (1 when missing or unusable).
int ReadConfiguredPort();
// The alarms' settings, each with its default (link/AlarmSettings.h) where
// missing or out of range: "PitchLimit" and "RollLimit" (whole degrees 0..90),
// "AlarmHysteresis" (degrees 0..90), "AlarmDelayMs" (0..3600000) and
// "StaleSeconds" (1..86400). badKeys gets the settings that were there but not
// numbers in their range (NaN, infinite, out of range).
AlarmSettings ReadAlarmSettings(QStringList* badKeys = nullptr);
// How sentences are read: RotMeaning "pitch" (the default: $GPROT is the
// instrument's pitch) or "rate" (a receiver's real rate of turn).
SentenceOptions ReadSentenceOptions(QStringList* badKeys = nullptr);
// The sharing server's bounds, each with its default where missing or out of
// range: "ServeMaxClients" (1..65536, 32) and "ServeMaxQueuedBytes" (what all
// clients' queues may hold together, 64 KiB..1 GiB, 16 MiB).
ServeLimits ReadServeLimits();
// How the received lines go out as datagrams, each with its default where
// missing or unusable: "ServeUdpFormat" ("nmea", a datagram a line as it
// came, or "iec450", the form of bridge networks), "Udp450Source" (the s: of
// our tag blocks: 1 to 32 letters and digits, QM0001) and "ServeUdpTtl" (the
// hops a datagram to a multicast group may take, 0..255, 1). badKeys gets
// those that were there but could not be used.
UdpOutput ReadUdpOutput(QStringList* badKeys = nullptr);

// Several sources: how they are chosen between and compared. MaxTurnRate
// (degrees a second), FailbackSeconds, HeadingDiffLimit, MagneticDiffLimit
// (degrees), HeadingDiffSetSeconds, HeadingDiffClearSeconds, MaxAgeMs;
// HeadingPriority, PitchPriority, RollPriority: labels in the order to prefer
// them; MoreSources: further sources, "label=url" separated by spaces, read
// when the command line names none. The stale time is StaleSeconds.
struct SourceSettings {
    SourceChoiceSettings choice;
    HeadingCompareSettings compare;
    CourseCheckSettings course; // CogCheckKnots, CogDiffLimit
    QStringList priority[3];    // heading, pitch, roll
    QStringList moreSources;
};
SourceSettings ReadSourceSettings(QStringList* badKeys = nullptr);
// "nmea" or "iec450" into *format; false for any other text.
bool ParseUdpFormat(const QString& text, UdpOutput::Format* format);
QString UdpFormatText(UdpOutput::Format format);
void WriteAlarmLimits(int pitchLimit, int rollLimit);

// The main window as it was left: "WindowGeometry" (its size and place, as
// QWidget::saveGeometry gives them, in base 64) and "View" ("dials" or
// "curves", the live display shown). Empty where missing.
struct WindowSettings {
    QByteArray geometry;
    QString view;
};
WindowSettings ReadWindowSettings();
void WriteWindowSettings(const WindowSettings& window);
