#include "shell/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/PortSelectDlg.h"
#include "shell/QuillmarApp.h"
#include "shell/QuillmarDoc.h"
#include "shell/ServeDlg.h"
#include "shell/SettingsKey.h"
#include "support/TestSupport.h"
#include "view/QuillmarView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <gtest/gtest.h>

namespace {

// The command line is checked before anything starts: what is refused says
// why at its start; what is taken names the port, the source and those beside it.
TEST(SourceOptions, SourceAndServeAreCheckedAndASerialUrlIsThePort) {
    const std::vector<std::pair<QStringList, QString>> refused = {
        {{"--source", "tcp://host"}, "无法识别的数据源"},
        {{"--source", "udp://:99999"}, "无法识别的数据源"},
        {{"--source", "a=udp://:1", "--source", "a=udp://:2"}, "--source: two sources"},
        {{"--source", "2nd=udp://:1"}, "\"2nd\" 不能作为数据源名称"},
        {{"--serve", "0.0.0.0:http"}, "无法识别的服务地址"},
        {{"--serve-udp-format", "450"}, "--serve-udp-format takes nmea or iec450"},
        {{"--screenshot-after", "soon"}, "--screenshot-after takes"},
        {{"--port"}, "Missing value"},
        {{"--bogus"}, "Unknown option"},
        {{"a.txt", "b.txt"}, "only one document"},
    };
    // port|source|the first's name|further sources, space separated
    const std::vector<std::pair<QStringList, QString>> taken = {
        {{"--source", "tcp://192.168.1.20:10110", "--serve", "10110"},
         "|tcp://192.168.1.20:10110||"},
        {{"--source", "gpsd://"}, "|gpsd://localhost:2947||"},
        {{"--source", "serial:/dev/ttyUSB1"}, "/dev/ttyUSB1|||"},
        {{"--port", "/dev/ttyUSB0", "--source", "udp://:60001"},
         "/dev/ttyUSB0|||udp-60001=udp://:60001"},
        {{"--source", "compass=udp://:60001", "--source", "gyro=serial:/dev/ttyUSB1", "--source",
          "udp://239.192.0.2:60002"},
         "|udp://:60001|compass|gyro=serial:/dev/ttyUSB1 "
         "udp-239-192-0-2-60002=udp://239.192.0.2:60002"},
        {{"--serve-udp", "255.255.255.255:10110"}, "|||"},
        {{"--serve-udp", "239.192.0.1:60001", "--serve-udp-format", "iec450"}, "|||"},
        {{"--serve-udp-format", "NMEA"}, "|||"},
        {{}, "|||"},
        {{"drawing.txt"}, "|||"},
        {{"--port", "/dev/ttyUSB0", "--screenshot", "a.png", "--screenshot-after", "300"},
         "/dev/ttyUSB0|||"},
    };
    const auto parse = [](const QStringList& arguments) {
        return CQuillmarApp::ParseCommandLine(QStringList{"quillmar"} + arguments);
    };
    for (const auto& [arguments, error] : refused)
        EXPECT_TRUE(parse(arguments).error.startsWith(error)) << arguments.join(" ").toStdString();
    for (const auto& [arguments, parsed] : taken) {
        const CCommandLineInfo info = parse(arguments);
        const QStringList fields = {info.portDevice, info.sourceUrl, info.sourceLabel,
                                    info.moreSources.join(' ')};
        EXPECT_EQ(info.error + fields.join('|'), parsed) << arguments.join(" ").toStdString();
    }
}

// The operator adds a server's URL in the source dialog (a malformed one is
// refused with the reason) and chooses it: the session connects, the status
// bar names the source, the settings keep the list; choosing the port again
// goes back to it.
TEST(SourceSelect, AUrlAddedAndChosenIsConnectedAndRemembered) {
    CLiveFrame live;
    // A server that never accepts: the system completes the connection all the same.
    const int server = Bound(SOCK_STREAM, 0);
    const QString url = QString("tcp://127.0.0.1:%1").arg(LocalPort(server));
    live.Start();
    ASSERT_TRUE(WaitUntil([&] { return live.frame->Session().IsConnected(); }));
    auto answer = [&](const QList<QPair<QString, QString>>& steps) {
        AnswerWhenShown<CPortSelectDlg>(
            [steps](CPortSelectDlg& dialog) {
                dialog.grab().save(TestOutputDir() + "/source-select.png");
                for (const auto& [text, button] : steps) {
                    if (!text.isEmpty())
                        dialog.UrlEdit()->setText(text);
                    if (button == "COM1")
                        dialog.ComboBox()->setCurrentIndex(0);
                    if (button == "tick") { // read beside the chosen one
                        for (int i = 0; i < dialog.MoreList()->count(); ++i) {
                            QListWidgetItem* item = dialog.MoreList()->item(i);
                            if (item->data(Qt::UserRole).toString() == text)
                                item->setCheckState(Qt::Checked);
                        }
                        continue;
                    }
                    ClickButton(&dialog, button);
                }
            },
            50);
        live.frame->OnCommand(ID_SELECT_PORT);
    };
    const QString gyro = "udp://:60009";
    answer(
        {{"tcp://nowhere", "添加"}, {gyro, "添加"}, {gyro, "tick"}, {url, "添加"}, {"", "设置"}});
    ASSERT_EQ(live.prompter.m_boxes.size(), 1u);
    EXPECT_TRUE(live.prompter.m_boxes[0].text.startsWith("无法识别的数据源"));
    EXPECT_TRUE(WaitUntil([&] { return live.frame->LinkStatus() == "已连接 " + url; }))
        << live.frame->LinkStatus().toStdString();
    CSettingsKey key;
    key.Create();
    EXPECT_EQ(key.NetSources(), (QStringList{gyro, url}));
    EXPECT_EQ(key.ReadString("Source"), url);
    EXPECT_EQ(key.ReadString("MoreSources"), "udp-60009=" + gyro);
    EXPECT_EQ(live.frame->Session().SourceCount(), 1u); // a session's sources are set at its start
    {
        // The next start, with no device named, takes the same source, and
        // the one ticked beside it.
        CQuillmarDoc doc;
        CMainFrame next(&doc, QString(), live.dir.filePath("next"));
        next.AddSources(QString(), {});
        ASSERT_TRUE(CreateFrame(next, doc));
        EXPECT_TRUE(WaitUntil([&] { return next.LinkStatus() == "已连接 " + url; }));
        EXPECT_EQ(next.Session().SourceCount(), 2u);
        EXPECT_EQ(next.Session().Sources().at(1).strLabel, "udp-60009");
    }
    answer({{"", "COM1"}, {"", "设置"}});
    EXPECT_TRUE(WaitUntil([&] { return live.frame->Session().Link().strSource.empty(); }));
    EXPECT_TRUE(live.frame->Source().isEmpty());
    CSettingsKey again; // as the next start reads it
    again.Create();
    EXPECT_EQ(again.ReadString("Source"), "");
    EXPECT_EQ(live.frame->m_nPort, 1);
    EXPECT_TRUE(live.Send("$C5,6\r\n", 1)); // the port reopened
    close(server);
}

// Settings that cannot be used are named in the status bar and the event
// log: an invalid source opens nothing in its place (never COM1), limits that
// are no numbers in range fall back to their defaults.
TEST(SourceSelect, InvalidSettingsAreNamedAndNothingIsOpenedInTheirPlace) {
    const QString url = "garbage://x"; // every reason a URL is refused: SourceOptions
    CScopedSettings settings;
    settings.Set("Source", url);
    settings.Set("PitchLimit", "nan");
    settings.Set("StaleSeconds", "inf");
    settings.Set("RollLimit", "12"); // a good one is not named
    CQuillmarDoc doc;
    QTemporaryDir dir;
    CMainFrame frame(&doc, QString(), dir.filePath("records"));
    ASSERT_TRUE(CreateFrame(frame, doc));
    EXPECT_TRUE(WaitUntil([&] { return frame.LinkStatus().contains("Source=" + url); }));
    EXPECT_TRUE(frame.LinkStatus().contains("无法识别的数据源"))
        << frame.LinkStatus().toStdString();
    EXPECT_TRUE(frame.Session().Link().strDevice.empty());
    EXPECT_FALSE(frame.Session().IsConnected());
    EXPECT_EQ(frame.NoticeStatus(), "设置无效，已改用默认值：PitchLimit、StaleSeconds");
    EXPECT_EQ(frame.Session().Monitor().StaleMs(), 3000);
    const std::string events = ReadFile(frame.Session().EventLogPath());
    for (const char* name : {"PitchLimit", "StaleSeconds", "Source"})
        EXPECT_NE(events.find(std::string(",program,bad-setting,") + name), std::string::npos)
            << name << "\n"
            << events;
    EXPECT_EQ(events.find("RollLimit"), std::string::npos);
}

// "数据转发…" while the instrument streams: a malformed address is refused with
// the parser's reason, a port in use is told and changes nothing, a free one
// starts the server (its client gets the lines) and is kept in the settings,
// as is switching it off. A server every host can reach says so in the status
// bar and the dialog.
TEST(ServeCommand, SwitchedFromTheWindowAndRemembered) {
    CLiveFrame live;
    live.Start();
    const int holder = Bound(SOCK_STREAM, 0), probe = Bound(SOCK_STREAM, 0);
    const unsigned busy = LocalPort(holder), free = LocalPort(probe);
    close(probe);
    const QString address = QString("127.0.0.1:%1").arg(free);
    const QString everyHost = QString("0.0.0.0:%1").arg(free);
    struct Step {
        bool on;
        QString address, box, setting; // box: the start of what the operator is told
        QString status;                // the status bar's word on the sharing
    };
    const std::vector<Step> table = {
        {true, "10110x", "无法识别的服务地址", "", ""},
        {true, QString("127.0.0.1:%1").arg(busy), "无法提供数据服务", "", ""},
        {true, address, "", address, ""},
        {true, everyHost, "", everyHost, "数据转发对网络开放：" + everyHost},
        {false, address, "", "", ""},
    };
    int client = -1;
    QString shown; // what the dialog says of the server in effect, with its client
    for (const Step& step : table) {
        SCOPED_TRACE(step.address.toStdString());
        const std::size_t boxes = live.prompter.m_boxes.size();
        AnswerWhenShown<CServeDlg>([&](CServeDlg& dialog) {
            if (!shown.isEmpty())
                EXPECT_EQ(dialog.StateLabel()->text(), shown);
            dialog.grab().save(TestOutputDir() + "/serve-dialog.png");
            dialog.CheckBox()->setChecked(step.on);
            dialog.AddressEdit()->setText(step.address);
            dialog.OkButton()->click();
            if (!step.box.isEmpty()) {
                EXPECT_TRUE(WaitUntil([&] { return live.prompter.m_boxes.size() > boxes; }));
                dialog.reject();
            }
        });
        live.frame->OnCommand(ID_NET_SERVE);
        if (!step.box.isEmpty())
            EXPECT_TRUE(live.prompter.m_boxes.back().text.startsWith(step.box));
        CSettingsKey key;
        key.Create();
        EXPECT_EQ(key.ReadString("ServeAddress"), step.setting);
        EXPECT_EQ(live.frame->Session().Serving().bListening, !step.setting.isEmpty());
        EXPECT_EQ(live.frame->ServeStatus(), step.status);
        if (step.setting.isEmpty())
            continue;
        close(client); // let go by a server that moved
        client = Connected(free);
        ASSERT_TRUE(WaitUntil([&] { return live.frame->Session().Serving().nClients == 1; }));
        const std::string line = "$C12.5,-1.5\r\n";
        ASSERT_TRUE(live.Send(line, 1));
        EXPECT_EQ(ReceiveAll(client, line.size()), line);
        shown = "正在监听 " + step.setting + "，1 个客户端" +
                (step.status.isEmpty() ? "" : "（对网络开放：能连到本机的任何人都能读取数据）");
    }
    for (int fd : {holder, client})
        close(fd);
}

} // namespace
