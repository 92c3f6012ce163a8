#include "link/PortSelectDlg.h"
#include "platform/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/QuillmarApp.h"
#include "shell/SettingsKey.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

TEST(SourceOptions, SourceAndServeAreCheckedAndASerialUrlIsThePort) {
    struct Case {
        QStringList arguments;
        QString port, source, error; // error: the start of it
    };
    const std::vector<Case> table = {
        {{"--source", "tcp://192.168.1.20:10110", "--serve", "10110"},
         "",
         "tcp://192.168.1.20:10110",
         ""},
        {{"--source", "gpsd://"}, "", "gpsd://localhost:2947", ""},
        {{"--source", "serial:/dev/ttyUSB1"}, "/dev/ttyUSB1", "", ""},
        {{"--source", "tcp://host"}, "", "", "无法识别的数据源"},
        {{"--port", "/dev/ttyUSB0", "--source", "udp://:60001"},
         "/dev/ttyUSB0",
         "",
         "--port and --source"},
        {{"--serve", "0.0.0.0:http"}, "", "", "无法识别的服务地址"},
        {{"--serve-udp", "255.255.255.255:10110"}, "", "", ""},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.arguments.join(" ").toStdString());
        const CCommandLineInfo info =
            CQuillmarApp::ParseCommandLine(QStringList{"quillmar"} + c.arguments);
        EXPECT_TRUE(c.error.isEmpty() ? info.error.isEmpty() : info.error.startsWith(c.error))
            << info.error.toStdString();
        if (c.error.isEmpty()) {
            EXPECT_EQ(info.portDevice, c.port);
            EXPECT_EQ(info.sourceUrl, c.source);
        }
    }
}

// The operator adds a server's URL in the source dialog (a malformed one is
// refused with the reason) and chooses it: the session connects, the status
// bar names the source, the settings keep the list; choosing the port again
// goes back to it.
TEST(SourceSelect, AUrlAddedAndChosenIsConnectedAndRemembered) {
    CLiveFrame live;
    // A server that never accepts: the system completes the connection all the same.
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(server, 1), 0);
    getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
    const QString url = QString("tcp://127.0.0.1:%1").arg(ntohs(address.sin_port));
    live.Start();
    ASSERT_TRUE(WaitUntil([&] { return live.frame->Session().IsConnected(); }));
    auto answer = [&](const QList<QPair<QString, QString>>& steps) {
        QTimer::singleShot(50, [steps] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<CPortSelectDlg*>(w);
                if (!dialog || !dialog->isVisible())
                    continue;
                dialog->grab().save(TestOutputDir() + "/source-select.png");
                for (const auto& [text, button] : steps) {
                    if (!text.isEmpty())
                        dialog->UrlEdit()->setText(text);
                    if (button == "COM1")
                        dialog->ComboBox()->setCurrentIndex(0);
                    for (auto* push : dialog->findChildren<QPushButton*>())
                        if (push->text() == button)
                            push->click();
                }
            }
        });
        live.frame->OnCommand(ID_SELECT_PORT);
    };
    answer({{"tcp://nowhere", "添加"}, {url, "添加"}, {"", "设置"}});
    ASSERT_EQ(live.prompter.m_boxes.size(), 1u);
    EXPECT_TRUE(live.prompter.m_boxes[0].text.startsWith("无法识别的数据源"));
    EXPECT_TRUE(WaitUntil([&] { return live.frame->LinkStatus() == "已连接 " + url; }))
        << live.frame->LinkStatus().toStdString();
    CSettingsKey key;
    key.Create();
    EXPECT_EQ(key.NetSources(), QStringList{url});
    answer({{"", "COM1"}, {"", "设置"}});
    EXPECT_TRUE(WaitUntil([&] { return live.frame->Session().Link().strSource.empty(); }));
    EXPECT_TRUE(live.frame->Source().isEmpty());
    close(server);
}

} // namespace
