#include "shell/StatusTexts.h"
#include "platform/ErrorText.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr std::int64_t kNow = 1000000;

// The facts of a serial port connected at kNow - 10 min whose bytes stopped at
// kNow - 1 s, as each row then changes them.
StatusFacts Facts(const std::function<void(StatusFacts&)>& change) {
    StatusFacts facts;
    facts.nNowMs = kNow;
    facts.link.kind = LinkState::Kind::Connected;
    facts.link.nPort = 1;
    facts.link.strDevice = "/dev/ttyUSB0";
    facts.link.nSinceMs = kNow - 600000;
    facts.nLastByteMs = kNow - 1000;
    change(facts);
    return facts;
}

QString Errno(int error) {
    return QString::fromStdString(SystemErrorText(error));
}

using Change = std::function<void(StatusFacts&)>;
using Kind = LinkState::Kind;

// The link in another state: its errno, or a network source's URL and reason.
Change Link(Kind kind, int error = 0, const char* source = "", const char* reason = "") {
    return [=](StatusFacts& f) {
        f.link.kind = kind;
        f.link.nError = error;
        f.link.strSource = source;
        f.link.strError = reason;
    };
}

// The record in another state: its path, the deleted one or the reason, the gap.
Change Record(RecordState::Kind kind, const char* path, const char* other = "", int gapMs = 0) {
    return [=](StatusFacts& f) {
        f.record.kind = kind;
        f.record.strPath = path;
        (kind == RecordState::Kind::Recreated ? f.record.strOldPath : f.record.strError) = other;
        f.record.nGapMs = gapMs;
    };
}

const Change kAsIs = [](StatusFacts&) {};
const char* const kNet = "tcp://gnss:5017";

// What the link pane says: the port's state and the operator's way out, a
// network source's, a silent link's age, and an unusable Source setting
// before anything else.
TEST(StatusTexts, TheLinkPaneSaysWhereTheDataComesFromAndHowItFares) {
    const struct {
        const char* name;
        Change change;
        QString text;
    } table[] = {
        {"live", kAsIs, "已连接 COM1 (/dev/ttyUSB0)"},
        {"silent", [](StatusFacts& f) { f.nLastByteMs = kNow - 125000; },
         "已连接 COM1 (/dev/ttyUSB0)，数据中断 2 分钟"},
        {"silent since connected",
         [](StatusFacts& f) { f.nLastByteMs = -1, f.link.nSinceMs = kNow - 4500; },
         "已连接 COM1 (/dev/ttyUSB0)，数据中断 4 秒"},
        {"within the stale time", [](StatusFacts& f) { f.nLastByteMs = kNow - 3000; },
         "已连接 COM1 (/dev/ttyUSB0)"},
        {"no device", [](StatusFacts& f) { f.link.kind = Kind::NoDevice, f.link.nPort = 8; },
         "COM8 没有对应的串口设备，请用“选择串口”选择其他串口"},
        {"busy", Link(Kind::OpenFailed, EBUSY), "串口 COM1 (/dev/ttyUSB0) 正被其他程序占用"},
        {"unplugged before opening", Link(Kind::OpenFailed, ENODEV),
         "串口 COM1 (/dev/ttyUSB0) 未连接，等待设备接入…"},
        {"other failure", Link(Kind::OpenFailed, EIO),
         "无法打开串口 COM1 (/dev/ttyUSB0)：" + Errno(EIO)},
        {"unplugged", Link(Kind::Vanished), "串口 COM1 (/dev/ttyUSB0) 已断开，等待重新连接…"},
        {"network connected", Link(Kind::Connected, 0, kNet), "已连接 tcp://gnss:5017"},
        {"network connecting", Link(Kind::Connecting, 0, kNet), "正在连接 tcp://gnss:5017…"},
        {"network lost", Link(Kind::Vanished, 0, kNet),
         "tcp://gnss:5017 连接已断开，等待重新连接…"},
        {"network lost with a reason", Link(Kind::Vanished, 0, kNet, "连接被重置"),
         "tcp://gnss:5017 连接已断开（连接被重置），等待重新连接…"},
        {"network refused", Link(Kind::OpenFailed, 0, kNet, "连接被拒绝"),
         "无法连接 tcp://gnss:5017：连接被拒绝，稍后自动重试"},
        {"unusable Source setting",
         [](StatusFacts& f) { f.strSource = "garbage://x", f.strBadSource = "无法识别的数据源"; },
         "设置中的数据源 Source=garbage://x 无效（无法识别的数据源），未打开任何数据源"},
    };
    for (const auto& row : table)
        EXPECT_EQ(LinkPaneText(Facts(row.change)).toStdString(), row.text.toStdString())
            << row.name;
}

// The other panes: the record on one line, the alarms with how far each has
// been dealt with, the values gone stale, what waits to be clicked away, and
// a sharing the operator must know of.
TEST(StatusTexts, TheOtherPanesSayWhatTheOperatorMustKnow) {
    using Pane = QString (*)(const StatusFacts&);
    using RecordKind = RecordState::Kind;
    const Pane serve = [](const StatusFacts& f) { return ServePaneText(f.serve); };
    const struct {
        const char* name;
        Pane pane;
        Change change;
        QString text;
    } table[] = {
        {"no record", &RecordPaneText, kAsIs, ""},
        {"recording", &RecordPaneText, Record(RecordKind::Open, "/r/a.txt"), "记录文件：/r/a.txt"},
        {"folder unusable", &RecordPaneText, Record(RecordKind::CreateFailed, "/r", "只读文件系统"),
         "无法建立记录文件：/r 只读文件系统 接收和显示照常进行，但数据不会被记录；每 5 "
         "秒重试一次。"},
        {"started late", &RecordPaneText, Record(RecordKind::StartedLate, "/r/a.txt", "", 2500),
         "记录文件夹已可用，记录从现在开始：/r/a.txt（此前 3 秒未记录）"},
        {"deleted and made again", &RecordPaneText,
         Record(RecordKind::Recreated, "/r/b.txt", "/r/a.txt"),
         "记录文件 /r/a.txt 被删除，已重新建立：/r/b.txt"},
        {"no alarm", &AlarmPaneText, kAsIs, ""},
        {"alarms in every state", &AlarmPaneText,
         [](StatusFacts& f) {
             f.nPitchLimit = 5;
             f.nRollLimit = 7;
             f.alarms = {{AlertState::ActiveUnacknowledged, AlertState::ActiveSilenced,
                          AlertState::RectifiedUnacknowledged, AlertState::ActiveAcknowledged}};
         },
         "俯仰角超出报警范围 ±5°；横滚角超出报警范围 ±7°（已静音）；"
         "数据中断超过 3 秒（已恢复，请确认）；航向差超限（已确认）"},
        {"acknowledged", &AlarmPaneText,
         [](StatusFacts& f) { f.alarms.state[1] = AlertState::ActiveAcknowledged; },
         "横滚角超出报警范围 ±30°（已确认）"},
        {"stale values", &StalePaneText,
         [](StatusFacts& f) {
             f.values.m_nReceivedMs[0] = kNow - 3001;  // heading
             f.values.m_nReceivedMs[1] = kNow - 3000;  // pitch: just in time
             f.values.m_nReceivedMs[3] = kNow - 60000; // position; roll never came
         },
         "数据中断：航向、位置"},
        {"nothing stale", &StalePaneText, kAsIs, ""},
        {"one source", &SourcePaneText, kAsIs, ""},
        {"the heading's source", &SourcePaneText,
         [](StatusFacts& f) { f.strHeadingSource = "compass"; }, "航向来源：compass"},
        {"a failover", &SourcePaneText,
         [](StatusFacts& f) {
             f.strHeadingSource = "gyro";
             f.lastSwitch = {Quantity::Pitch, "compass", "gyro", false, 2};
         },
         "俯仰来源切换：compass → gyro"},
        {"every notice", &NoticePaneText,
         [](StatusFacts& f) {
             f.badSettings = QStringList{"PitchLimit", "StaleSeconds"};
             f.nRecordLostBytes = 12;
             f.nUnshownMessages = 3;
         },
         "设置无效，已改用默认值：PitchLimit、StaleSeconds；磁盘已满：记录文件缺少 12 "
         "字节（见事件日志）；"
         "窗口未能及时显示 3 条消息（记录文件完整）"},
        {"no notice", &NoticePaneText, kAsIs, ""},
        {"sharing on this host", serve,
         [](StatusFacts& f) { f.serve.bListening = true, f.serve.strAddress = "127.0.0.1:10110"; },
         ""},
        {"sharing open to the network", serve,
         [](StatusFacts& f) {
             f.serve.bListening = f.serve.bOpenToNetwork = true;
             f.serve.strAddress = "0.0.0.0:10110";
             f.serve.nAcceptError = EMFILE;
         },
         "数据转发对网络开放：0.0.0.0:10110；数据转发暂不接受新客户端（" + Errno(EMFILE) + "）"},
        {"sharing stopped", serve, [](StatusFacts& f) { f.serve.bOpenToNetwork = true; }, ""},
    };
    for (const auto& row : table)
        EXPECT_EQ(row.pane(Facts(row.change)).toStdString(), row.text.toStdString()) << row.name;
}

} // namespace
