// The program's own settings, kept with QSettings under the organization
// "Quillmar Solution" (~/.config/Quillmar Solution/Quillmar.ini). Every
// setting is read and written here.
#pragma once

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
    // 0 when the settings can be used, else 5 (no access).
    long Create();
    // The text of a value; empty when it is missing or cannot be read.
    QString ReadString(const QString& name) const;
    void Close();

    // Slots given a device by name: the group "Ports", keys COM1..COM8.
    QMap<int, QString> NamedPortDevices() const;
    // The recent-file list: "Recent File List/File1".. in order, newest first.
    QStringList RecentFiles(int count) const;
    void WriteRecentFiles(const QStringList& files, int count);

private:
    std::unique_ptr<QSettings> m_pSettings;
};

// The port number configured in "PortOfMonitor" (1 when missing or unusable).
int ReadConfiguredPort();
// "StaleSeconds": how long a value may go unrefreshed before it is shown as
// interrupted (3 when missing or not a positive number).
constexpr int kDefaultStaleSeconds = 3;
int ReadStaleSeconds();
