// Start-up: command line, document, main frame and view.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class CMainFrame;
class CMqttPublisher;
class CQuillmarDoc;
class CQuillmarView;
class CWebServer;

struct CCommandLineInfo {
    QString documentFile;
    QString portDevice;
    QString sourceUrl;       // a network source (tcp://, udp://, gpsd://) in place of the port
    QString sourceLabel;     // the first source's name, when the command line gives one
    QStringList moreSources; // further sources, "label=url"
    QString serveAddress;    // "[host:]port" of the server sharing the received lines
    QString serveUdpAddress; // "host:port" the lines also go to as datagrams
    QString serveUdpFormat;  // "nmea" or "iec450"; empty: the setting's
    QString screenshotFile;
    QString recordFolder;
    QString analysisFile;       // an R35 attitude file
    QString analysisRecordFile; // a record file of this program
    QString replayFile;
    double replaySpeed = 1; // one of CReplayDlg::Speeds(); 0: as fast as possible
    QString exportCsvFile;  // write the loaded records there as CSV and exit, windowless
    int screenshotAfterMs = 0;
    QString language;      // "en" or "zh" (see ChooseLanguage)
    bool headless = false; // no window: a service's run
    QString publishUrl;    // mqtt://broker[:port]/prefix; empty: the setting MqttUrl
    QString webAddress;    // "[host:]port" of the browser view; empty: the setting WebAddress
    QString error;         // set when the command line cannot be used
};

class CQuillmarApp {
public:
    CQuillmarApp();
    ~CQuillmarApp();

    static CCommandLineInfo ParseCommandLine(const QStringList& arguments);
    // Creates document, frame and view and shows the main window; false ends
    // the program.
    bool InitInstance(const CCommandLineInfo& info);
    // Where records go: the command line, else the setting "RecordFolder",
    // else the user's documents folder + "/Quillmar".
    static QString RecordFolder(const CCommandLineInfo& info);

    CMainFrame* Frame() const { return m_pFrame; }
    CQuillmarDoc* Document() const { return m_pDocument.get(); }

private:
    // --source, --serve, --serve-udp into info; false with info->error.
    static bool ParseSourceOptions(const QStringList& urls, const QString& serve,
                                   const QString& serveUdp, CCommandLineInfo* info);
    void StartServing(const CCommandLineInfo& info);
    // To the MQTT broker --publish or the setting MqttUrl names; off without.
    void StartPublishing(const CCommandLineInfo& info);
    // The browser view on --web or the setting WebAddress; off without.
    void StartWeb(const CCommandLineInfo& info);
    void ScheduleScreenshot(const QString& file, int afterMs);

    std::unique_ptr<CQuillmarDoc> m_pDocument;
    CMainFrame* m_pFrame = nullptr;
    std::unique_ptr<CMqttPublisher> m_pPublisher;
    std::unique_ptr<CWebServer> m_pWeb;
};
