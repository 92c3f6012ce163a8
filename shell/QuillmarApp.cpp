#include "shell/QuillmarApp.h"

#include "link/MqttPublisher.h"
#include "link/NetSource.h"
#include "link/NmeaServer.h"
#include "platform/Prompter.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"
#include "shell/MainFrame.h"
#include "shell/QuillmarDoc.h"
#include "shell/ReplayDlg.h"
#include "shell/SettingsKey.h"
#include "shell/StatusTexts.h"
#include "shell/VersionInfoDlg.h"
#include "view/QuillmarView.h"
#include "web/WebServer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QHostAddress>
#include <QLocale>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

CQuillmarApp::CQuillmarApp() = default;

CQuillmarApp::~CQuillmarApp() {
    m_pPublisher.reset(); // it reads the frame's session
    m_pWeb.reset();       // so does it
    delete m_pFrame;
}

CCommandLineInfo CQuillmarApp::ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Quillmar: monitors a dual-antenna GNSS attitude instrument on a serial line, records "
        "every message it sends, and analyses recorded attitude files.");
    parser.addHelpOption();
    parser.addPositionalArgument("document", "A drawing document (.txt) to open.", "[document]");
    const QCommandLineOption port(
        "port", "Use DEVICE (e.g. /dev/ttyUSB0) for the configured port slot in this run.",
        "DEVICE");
    const QCommandLineOption source(
        "source",
        "Read the instrument from URL: serial:/dev/ttyUSB0 (as --port), tcp://host:port, "
        "udp://:port, udp://group:port (multicast) or gpsd://host[:port]. Given again (or "
        "after --port), a further source read at the same time; LABEL= names a source "
        "(gyro=udp://:60002), its record is then <record>-LABEL.txt.",
        "[LABEL=]URL");
    const QCommandLineOption serve(
        "serve",
        "Share every received text line with the clients of a TCP server on [host:]port "
        "(host 127.0.0.1 when left out; default: the setting ServeAddress).",
        "[HOST:]PORT");
    const QCommandLineOption serveUdp(
        "serve-udp", "Send every received text line also as a UDP datagram to HOST:PORT.",
        "HOST:PORT");
    const QCommandLineOption serveUdpFormat(
        "serve-udp-format",
        "The form of those datagrams: nmea (a datagram a line, as received) or iec450 (a "
        "sentence a datagram with the UdPbC header and a tag block, as on IEC 61162-450 "
        "bridge networks); default: the setting ServeUdpFormat, else nmea.",
        "FORMAT");
    const QCommandLineOption screenshot(
        "screenshot", "Save a PNG of the main window to FILE, then exit.", "FILE");
    const QCommandLineOption after("screenshot-after",
                                   "Take the screenshot MS milliseconds after start-up "
                                   "(default: as soon as the window is shown).",
                                   "MS", "0");
    const QCommandLineOption records(
        "record-folder",
        "Write the record files into DIR (default: the setting RecordFolder, else "
        "~/Documents/Quillmar).",
        "DIR");
    const QCommandLineOption analyse(
        "analyse",
        "Load the recorded attitude file FILE into the analysis view at start-up (with "
        "--screenshot, the picture is taken after the load).",
        "FILE");
    const QCommandLineOption replay(
        "replay",
        "Play the record file FILE back into the displays, alarms and curves, while the port "
        "goes on being received and recorded.",
        "FILE");
    const QCommandLineOption replaySpeed(
        "replay-speed", "Replay at X times the recorded pace: 0.25, 0.5, 1, 2, 5, 10 or max.", "X",
        "1");
    const QCommandLineOption exportCsv(
        "export-csv",
        "Write the records of the file --analyse names to FILE as CSV "
        "(index,time,heading,pitch,roll) and exit; needs no window and no display.",
        "FILE");
    const QCommandLineOption analyseRecord(
        "analyse-record",
        "Load FILE, a record file this program wrote, into the analysis view at start-up, "
        "with the time of every record (with --screenshot, the picture is taken after the load).",
        "FILE");
    const QCommandLineOption language(
        "lang",
        "The window's language: en (English) or zh (Chinese); default: the setting Language, "
        "else English for an English locale, else Chinese.",
        "LANG");
    const QCommandLineOption headless(
        "headless",
        "Run as a service, with no window and no display: read the sources, record, keep the "
        "alarms and share as the window does; the event log's lines (state changes, alarms) "
        "also go to standard error. SIGTERM or SIGINT ends it.");
    const QCommandLineOption publish(
        "publish",
        "Publish the live values (Signal K paths, SI units) and the alarms (retained) to an "
        "MQTT broker under PREFIX/<vessel>/ (vessel: the setting VesselName, else the host "
        "name); default: the setting MqttUrl.",
        "mqtt://BROKER[:PORT]/PREFIX");
    const QCommandLineOption web(
        "web",
        "Serve the browser view (the live values, alarms and health; read-only unless the "
        "setting WebPassword is set) and a Signal K stream on [host:]port (host 127.0.0.1 "
        "when left out, 0.0.0.0 for every interface; default: the setting WebAddress).",
        "[HOST:]PORT");
    parser.addOptions({port, source, serve, serveUdp, serveUdpFormat, screenshot, after, records,
                       analyse, analyseRecord, replay, replaySpeed, exportCsv, language, headless,
                       publish, web});

    CCommandLineInfo info;
    if (!parser.parse(arguments)) {
        info.error = parser.errorText();
        return info;
    }
    if (parser.isSet("help")) {
        info.error = parser.helpText();
        return info;
    }
    if (parser.positionalArguments().size() > 1) {
        info.error = "only one document file can be opened";
        return info;
    }
    if (!parser.positionalArguments().isEmpty())
        info.documentFile = parser.positionalArguments().constFirst();
    info.portDevice = parser.value(port);
    if (!ParseSourceOptions(parser.values(source), parser.value(serve), parser.value(serveUdp),
                            &info))
        return info;
    info.serveUdpFormat = parser.value(serveUdpFormat);
    UdpOutput::Format format;
    if (!info.serveUdpFormat.isEmpty() && !ParseUdpFormat(info.serveUdpFormat, &format)) {
        info.error = "--serve-udp-format takes nmea or iec450";
        return info;
    }
    info.screenshotFile = parser.value(screenshot);
    info.recordFolder = parser.value(records);
    info.exportCsvFile = parser.value(exportCsv);
    info.analysisFile = parser.value(analyse);
    info.analysisRecordFile = parser.value(analyseRecord);
    if (!info.analysisFile.isEmpty() && !info.analysisRecordFile.isEmpty()) {
        info.error = "--analyse and --analyse-record cannot be given together";
        return info;
    }
    bool ok = false;
    info.replayFile = parser.value(replay);
    const QString speed = parser.value(replaySpeed);
    const bool fastest = speed == "max";
    info.replaySpeed = fastest ? CReplaySource::kFastest : speed.toDouble(&ok);
    const auto& speeds = CReplayDlg::Speeds();
    if (!fastest && (!ok || info.replaySpeed == CReplaySource::kFastest ||
                     std::find(speeds.begin(), speeds.end(), info.replaySpeed) == speeds.end())) {
        info.error = "--replay-speed takes 0.25, 0.5, 1, 2, 5, 10 or max";
        return info;
    }
    info.language = ChooseLanguage(parser.value(language), ReadLanguageSetting(),
                                   QLocale::system().uiLanguages());
    if (info.language.isEmpty()) {
        info.error = "--lang takes en or zh";
        return info;
    }
    info.headless = parser.isSet(headless);
    info.publishUrl = parser.value(publish);
    std::string urlError;
    if (MqttTarget target; !info.publishUrl.isEmpty() &&
                           !ParseMqttUrl(info.publishUrl.toStdString(), &target, &urlError)) {
        info.error = QString::fromStdString(urlError);
        return info;
    }
    info.webAddress = parser.value(web);
    if (QHostAddress host; !info.webAddress.isEmpty()) {
        quint16 number = 0;
        QString webError;
        if (!CWebServer::ParseAddress(info.webAddress, &host, &number, &webError)) {
            info.error = "--web takes [host:]port: an IP address and a port from 0 to 65535";
            return info;
        }
    }
    if (info.headless) {
        for (const QCommandLineOption* option : {&screenshot, &analyse, &analyseRecord, &replay}) {
            if (parser.isSet(*option)) {
                info.error = QString("--headless records and alarms; it does not take --%1")
                                 .arg(option->names().constFirst());
                return info;
            }
        }
    }
    info.screenshotAfterMs = parser.value(after).toInt(&ok);
    if (!ok || info.screenshotAfterMs < 0)
        info.error = "--screenshot-after takes a number of milliseconds";
    return info;
}

bool CQuillmarApp::ParseSourceOptions(const QStringList& urls, const QString& serve,
                                      const QString& serveUdp, CCommandLineInfo* info) {
    std::string error, host;
    unsigned number = 0;
    // The first --source is the first source unless --port named it; the
    // others are read beside it.
    std::vector<std::string> labels;
    for (int i = 0; i < urls.size(); ++i) {
        SourceAddress address;
        std::string label;
        if (!SourceAddress::ParseLabelled(urls[i].toStdString(), &label, &address, &error)) {
            info->error = QString::fromStdString(error);
            return false;
        }
        if (std::find(labels.begin(), labels.end(), label) != labels.end()) {
            info->error =
                QString("--source: two sources are named %1").arg(QString::fromStdString(label));
            return false;
        }
        labels.push_back(label);
        if (i > 0 || !info->portDevice.isEmpty()) {
            info->moreSources << QString::fromStdString(label + "=" + address.Url());
            continue;
        }
        if (urls[i].section(':', 0, 0).contains('='))
            info->sourceLabel = QString::fromStdString(label);
        if (address.kind == SourceAddress::Kind::Serial)
            info->portDevice = QString::fromStdString(address.strDevice);
        else
            info->sourceUrl = QString::fromStdString(address.Url());
    }
    for (const QString& text : {serve, serveUdp}) {
        if (!text.isEmpty() &&
            !CNmeaServer::ParseAddress(text.toStdString(), &host, &number, &error)) {
            info->error = QString::fromStdString(error);
            return false;
        }
    }
    info->serveAddress = serve;
    info->serveUdpAddress = serveUdp;
    return true;
}

bool CQuillmarApp::InitInstance(const CCommandLineInfo& info) {
    m_pDocument = std::make_unique<CQuillmarDoc>();
    if (!info.documentFile.isEmpty()) {
        // A document named on the command line that cannot be opened ends
        // the start-up, after saying why.
        QString error;
        if (!m_pDocument->OnOpenDocument(info.documentFile, &error)) {
            CPrompter::Instance().MessageBox(nullptr, error, QString(), QMessageBox::Ok,
                                             CPrompter::Icon::Warning);
            return false;
        }
    }
    m_pFrame = new CMainFrame(m_pDocument.get(), info.portDevice, RecordFolder(info));
    // Headless, the session of the window runs without it: what it would
    // show goes to the error stream (the journal under systemd).
    if (info.headless)
        m_pFrame->Session().EchoEvents(STDERR_FILENO);
    // A screenshot run ends by itself and a service by a signal; nobody is
    // asked whether they may.
    m_pFrame->SetAskBeforeQuit(info.screenshotFile.isEmpty() && !info.headless);
    // The program runs on its defaults: said once, not a reason to stop.
    if (const QString refusal = SettingsRefusal(); !refusal.isEmpty())
        CPrompter::Instance().Notify(nullptr, refusal, QString(), CPrompter::Icon::Warning);
    if (!info.sourceUrl.isEmpty()) // else the frame takes the source chosen last time
        m_pFrame->SetSource(info.sourceUrl);
    m_pFrame->AddSources(info.sourceLabel, info.moreSources);
    StartServing(info);
    StartPublishing(info);
    StartWeb(info);
    m_pFrame->Commands().Register(ID_APP_ABOUT, [] { // "关于(&A)..."
        CVersionInfoDlg dialog;
        dialog.exec();
    });
    if (!info.documentFile.isEmpty())
        m_pFrame->Documents().AddRecentFile(QFileInfo(info.documentFile).absoluteFilePath());
    auto* view = new CQuillmarView(m_pFrame);
    m_pDocument->AddView(view);
    view->SetDocument(m_pDocument.get());
    if (!m_pFrame->OnCreate(view))
        return false;
    m_pFrame->setWindowTitle("Velquor 1.0");
    if (info.headless) {
        std::fprintf(stderr, "quillmar: headless, records in %s\n", qPrintable(RecordFolder(info)));
        return true;
    }
    m_pFrame->show();
    const bool record = !info.analysisRecordFile.isEmpty();
    if (record || !info.analysisFile.isEmpty()) {
        // As if chosen in the load dialog; the screenshot waits for the load.
        // A screenshot run whose file did not load has nothing to show: it
        // ends there, failed (the reason went to the error stream).
        if (!info.screenshotFile.isEmpty()) {
            QObject::connect(
                view, &CQuillmarView::LoadFinished, m_pFrame,
                [this, info](bool loaded) {
                    if (loaded)
                        ScheduleScreenshot(info.screenshotFile, info.screenshotAfterMs);
                    else
                        QApplication::exit(1);
                },
                Qt::SingleShotConnection);
        }
        view->StartLoad(record ? info.analysisRecordFile : info.analysisFile,
                        record ? AnalysisSource::Record : AnalysisSource::R35);
    } else if (!info.screenshotFile.isEmpty()) {
        ScheduleScreenshot(info.screenshotFile, info.screenshotAfterMs);
    }
    if (!info.replayFile.isEmpty()) {
        // As if chosen with "数据回放…"; a screenshot run ends when it cannot.
        if (!m_pFrame->StartReplay(info.replayFile, info.replaySpeed) &&
            !info.screenshotFile.isEmpty())
            return false;
    }
    // Commands a benchmark has run once the window is up, as if chosen from
    // the menu (bench/ui_load: QUILLMAR_BENCH_COMMANDS=32861,32895).
    const QStringList commands =
        qEnvironmentVariable("QUILLMAR_BENCH_COMMANDS").split(',', Qt::SkipEmptyParts);
    if (!commands.isEmpty()) {
        QTimer::singleShot(0, m_pFrame, [this, commands] {
            for (const QString& id : commands)
                m_pFrame->OnCommand(id.trimmed().toInt());
        });
    }
    return true;
}

void CQuillmarApp::StartServing(const CCommandLineInfo& info) {
    // Each option in place of its setting, for this run.
    QString address = info.serveAddress, udpAddress = info.serveUdpAddress;
    // The bounds hold for a server started later from the window too.
    m_pFrame->Session().SetServeLimits(ReadServeLimits());
    CSettingsKey key;
    if (key.Create() == 0) {
        if (address.isEmpty())
            address = key.ReadString("ServeAddress");
        if (udpAddress.isEmpty())
            udpAddress = key.ReadString("ServeUdpAddress");
    }
    if (address.isEmpty())
        return; // off unless asked for
    // Reception and recording go on without the server: say why, once.
    UdpOutput::Format format = m_pFrame->UdpFormat();
    if (!info.serveUdpFormat.isEmpty())
        ParseUdpFormat(info.serveUdpFormat, &format);
    QString error;
    if (!m_pFrame->Serve(address, udpAddress, format, &error))
        CPrompter::Instance().Notify(nullptr, error, QString(), CPrompter::Icon::Warning);
}

void CQuillmarApp::StartPublishing(const CCommandLineInfo& info) {
    QString url = info.publishUrl, vessel;
    CSettingsKey key;
    if (key.Create() == 0) {
        if (url.isEmpty())
            url = key.ReadString("MqttUrl");
        vessel = key.ReadString("VesselName");
    }
    if (url.isEmpty())
        return; // off unless asked for
    MqttTarget target;
    std::string error;
    if (!ParseMqttUrl(url.toStdString(), &target, &error)) {
        // Reception and recording go on without it: say why, once.
        CPrompter::Instance().Notify(nullptr, QString::fromStdString(error), QString(),
                                     CPrompter::Icon::Warning);
        return;
    }
    if (vessel.isEmpty())
        vessel = QSysInfo::machineHostName();
    CInstrumentSession& session = m_pFrame->Session();
    m_pPublisher = std::make_unique<CMqttPublisher>(
        target, [&session](std::string_view event, std::string_view value) {
            session.LogEvent("mqtt", event, value);
        });
    m_pPublisher->SetFeed(
        SessionFeed(session, target.prefix + "/" + MqttTopicLevel(vessel.toStdString())));
    m_pPublisher->Start();
}

void CQuillmarApp::StartWeb(const CCommandLineInfo& info) {
    QString address = info.webAddress;
    WebOptions options;
    options.lang = info.language;
    CSettingsKey key;
    if (key.Create() == 0) {
        if (address.isEmpty())
            address = key.ReadString("WebAddress");
        options.password = key.ReadString("WebPassword");
        options.vessel = key.ReadString("VesselName");
    }
    if (address.isEmpty())
        return; // off unless asked for
    if (options.vessel.isEmpty())
        options.vessel = QSysInfo::machineHostName();
    options.linkText = [](const LinkState& link) {
        StatusFacts facts;
        facts.nNowMs = SteadyMs();
        facts.link = link;
        facts.nLastByteMs = facts.nNowMs; // the page tells of silence by the values' ages
        return LinkPaneText(facts);
    };
    m_pWeb = std::make_unique<CWebServer>(m_pFrame->Session(), options);
    QString error;
    if (!m_pWeb->Listen(address, &error)) {
        // Reception and recording go on without it: say why, once.
        m_pWeb.reset();
        CPrompter::Instance().Notify(nullptr, error, QString(), CPrompter::Icon::Warning);
    }
}

QString CQuillmarApp::RecordFolder(const CCommandLineInfo& info) {
    if (!info.recordFolder.isEmpty())
        return info.recordFolder;
    CSettingsKey key;
    if (key.Create() == 0) {
        const QString folder = key.ReadString("RecordFolder");
        if (!folder.isEmpty())
            return folder;
    }
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/Quillmar";
}

void CQuillmarApp::ScheduleScreenshot(const QString& file, int afterMs) {
    QTimer::singleShot(afterMs, m_pFrame, [this, file] {
        const bool saved = m_pFrame->grab().save(file, "PNG");
        if (saved)
            std::printf("screenshot saved: %s\n", qPrintable(file));
        else
            std::fprintf(stderr, "quillmar: cannot save the screenshot to %s\n", qPrintable(file));
        std::fflush(stdout);
        QApplication::exit(saved ? 0 : 1);
    });
}
