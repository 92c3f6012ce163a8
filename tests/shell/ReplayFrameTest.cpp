#include "link/NetSessionFixture.h"
#include "shell/CommandIds.h"
#include "shell/DataHealthDlg.h"
#include "shell/DeltaCurve.h"
#include "shell/MainFrame.h"
#include "shell/ReplayDlg.h"
#include "support/TestSupport.h"
#include "view/QuillmarView.h"

#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

namespace {

// "各来源" and "航向比较" as "cell|cell|…" rows, " !" after one shown in red:
// each reading a source ever sent in the bridge's words, the one the displays
// follow marked; each pair with its magnetic side, its difference only while
// fresh, its alarm. One source and no pairs: nothing.
TEST(DataHealth, SourcesAndHeadingPairsAsRows) {
    using enum SourceState;
    const auto source = [](std::string label, Quantity q, SourceReading reading) {
        SourceStatus s{std::move(label), {}, {}, {}};
        s.readings[static_cast<int>(q)] = reading;
        return s;
    };
    SourceStatus gnss = source("gnss", Quantity::Heading, {100.04, 19500, Valid, 1, {}});
    gnss.readings[static_cast<int>(Quantity::Pitch)] = {1.5, 19000, Invalid, 0, {}};
    for (std::int64_t at = 17000; at < 19600; at += 100) // 10 and 6 in seconds 18 and 19
        gnss.readings[static_cast<int>(Quantity::Heading)].rate.Add(at);
    SourceStatus unnamed = source("", Quantity::Speed, {12.0, 19000, Valid, 1, {}});
    unnamed.link.strSource = "udp://:10110";
    const std::vector<SourceStatus> some{
        gnss, source("gyro", Quantity::RateOfTurn, {900, 15000, NotPlausible, 0, {}}),
        source("log", Quantity::Heading, {101, 15000, Stale, 0, {}})};
    std::array<std::string, kQuantities> chosen, none;
    chosen[static_cast<int>(Quantity::Heading)] = "gnss";
    const auto pair = [](double delta, bool fresh, bool magnetic, AlertState state) {
        return HeadingPairStatus{"gnss", "gyro", false, magnetic, delta, fresh, 3, state};
    };
    using enum AlertState;
    const struct {
        std::vector<SourceStatus> sources;
        std::array<std::string, kQuantities> chosen;
        std::vector<HeadingPairStatus> pairs;
        bool shown;
        QStringList rows; // of 各来源, or of 航向比较 when it has none
    } cases[] = {
        {{gnss}, chosen, {}, false, {}},
        {some,
         chosen,
         {},
         true,
         {"gnss|航向|100.0°|有效|0.5|8.0|●", "gnss|俯仰角|1.50°|无效|1.0|—| !",
          "gyro|转向速率|900.0°/分|不可信|5.0|—| !", "log|航向|101.0°|无数据|5.0|—| !"}},
        {{unnamed, SourceStatus{}}, none, {}, true, {"udp://:10110|对地航速|12.0 节|有效|1.0|—|"}},
        {{SourceStatus{}},
         none,
         {pair(-4.04, true, false, ActiveUnacknowledged), pair(4.04, true, true, ActiveSilenced),
          pair(-0.04, true, false, Normal), pair(2, false, false, RectifiedUnacknowledged),
          pair(9, true, true, ActiveAcknowledged)},
         true,
         {"gnss|gyro|-4.0°|3.0°|超限 !", "gnss|gyro（磁）|+4.0°|3.0°|已静音 !",
          "gnss|gyro|0.0°|3.0°|正常", "gnss|gyro|--|3.0°|已恢复，请确认 !",
          "gnss|gyro（磁）|+9.0°|3.0°|已确认 !"}},
    };
    for (const auto& c : cases) {
        const SourceRowsText text = SourceRows(c.sources, c.chosen, c.pairs, 20000);
        QStringList rows;
        for (const auto& row : text.sources.empty() ? text.pairs : text.sources)
            rows << row.cells.join('|') + (row.bAttention ? " !" : "");
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(text.bShown, c.shown);
    }
}

// Two sources over UDP: 数据状态 adds their readings and the comparison of
// their headings (the compass's magnetic one too); a session of one source
// shows the window as it always was.
TEST(DataHealth, SeveralSourcesShownBesideTheTypes) {
    using namespace net_test;
    const unsigned gnssPort = FreeUdpPort(), gyroPort = FreeUdpPort();
    CInstrumentSession session;
    session.UseSourceAddress(Address("udp://:" + std::to_string(gnssPort)));
    session.SetFirstSourceLabel("gnss");
    session.AddSource("gyro", Address("udp://:" + std::to_string(gyroPort)));
    session.Start();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    QTimer instruments; // their own pace, about 20 Hz, from before the session has bound
    QObject::connect(&instruments, &QTimer::timeout, [&] {
        for (const auto& [port, body] : {std::pair{gnssPort, "$GPHDT,100.0,T"},
                                         {gnssPort, "$GPHDG,97.5,,,2.0,E"},
                                         {gyroPort, "$HEHDT,104.0,T"},
                                         {gyroPort, "$HEROT,5.0,V"}})
            SendDatagram(fd, port, CInstrumentSimulator::WithNmeaChecksum(body));
    });
    instruments.start(50);
    CDataHealthDlg health(session);
    health.show();
    const auto column = [](QTableWidget* table, int c) {
        QStringList texts;
        for (int row = 0; row < table->rowCount(); ++row)
            texts << table->item(row, c)->text().remove('+').remove('-'); // "--": ""
        return texts;
    };
    ASSERT_TRUE(WaitUntil([&] {
        return health.PairsTable()->rowCount() == 3 && !column(health.PairsTable(), 2).contains("");
    }));
    EXPECT_EQ(column(health.SourcesTable(), 3),
              (QStringList{"有效", "有效", "有效", "有效", "无效"}));
    QStringList deltas = column(health.PairsTable(), 2);
    deltas.sort(); // which side is A follows the order the headings first came in
    EXPECT_EQ(deltas, (QStringList{"0.5°", "4.0°", "4.5°"}));
    // The curve of the shown heading's pair fills, its scale wide enough for
    // the limit's lines and a difference of 4 or 4.5 degrees.
    auto* curve = health.findChild<CDeltaCurve*>("deltaCurve");
    ASSERT_TRUE(curve);
    ASSERT_TRUE(WaitUntil([&] { return curve->isVisible() && curve->Points() >= 3; }));
    EXPECT_GE(curve->Span(), 6.0);
    QCoreApplication::processEvents(); // the layout settled to the tables' rows
    health.grab().save(TestOutputDir() + "/data-health-sources.png");
    instruments.stop();
    close(fd);

    CInstrumentSession single;
    health.SetSession(single, true);
    EXPECT_FALSE(health.SourcesTable()->isVisible() || health.PairsTable()->isVisible());
}

// "数据状态" opened by its command on a live link shows a row for each type
// that came and the link's up-time, a disk short of space in red; choosing it
// again brings the same window forward. "数据回放…" then plays a record into
// the displays and 数据状态 while the live line goes on being recorded; the
// speed is chosen with the keyboard in the replay window, and "结束回放"
// brings the live data back.
TEST(ReplayFrame, DataHealthThenAReplayTakesTheDisplaysAndGivesThemBack) {
    CLiveFrame live;
    live.Start();
    const std::string hdt = CInstrumentSimulator::WithNmeaChecksum("$GPHDT,12.5,T");
    ASSERT_TRUE(live.Send(hdt + "$GPHDT,1.0,T*00\r\n" + CInstrumentSimulator::NPacket(), 3));
    CInstrumentSession& session = live.frame->Session();
    ASSERT_TRUE(live.frame->OnCommand(ID_DATA_HEALTH));
    auto* health = live.frame->findChild<CDataHealthDlg*>();
    ASSERT_TRUE(health && health->isVisible());
    QStringList rows; // type, count, checksum failures
    for (int row = 0; row < health->Table()->rowCount(); ++row)
        for (int column : {0, 1, 4})
            rows << health->Table()->item(row, column)->text();
    EXPECT_EQ(rows, (QStringList{"GPHDT", "2", "1", "数据包 0x6E ('n')", "1", "0"}));
    EXPECT_NE(health->findChild<QLabel*>("upTime")->text(), "未连接");
    auto* space = health->findChild<QLabel*>("freeSpace");
    health->SetLowSpaceBytes(UINT64_MAX);
    health->Refresh();
    EXPECT_TRUE(space->text().contains("不足 1 GB") && space->styleSheet().contains("#c00000"));
    health->grab().save(TestOutputDir() + "/data-health.png");
    ASSERT_TRUE(live.frame->OnCommand(ID_DATA_HEALTH));
    EXPECT_EQ(live.frame->findChildren<CDataHealthDlg*>().size(), 1);

    live.prompter.m_files.push_back(QUILLMAR_TEST_DATA "/mixed-stream.record");
    live.frame->show();
    live.frame->resize(500, 400);
    ASSERT_TRUE(WaitUntil([&] { return live.frame->width() == 500; }));
    ASSERT_TRUE(live.frame->OnCommand(ID_REPLAY));
    CReplayDlg* replay = live.frame->Replay();
    ASSERT_TRUE(replay && replay->isVisible());
    // Beside the dials, not over them; both displays say they show a replay.
    const QRect dials =
        AttitudeDialsRect(live.view->size()).translated(live.view->mapToGlobal(QPoint(0, 0)));
    EXPECT_FALSE(replay->frameGeometry().intersects(dials));
    for (int display : {ID_VIEW_REALTIME1, ID_VIEW_REALTIME2}) {
        live.frame->OnCommand(display);
        CRecordingCanvas canvas(live.view->size());
        live.view->OnDraw(canvas);
        const auto mark =
            std::find_if(canvas.m_items.begin(), canvas.m_items.end(),
                         [](const auto& item) { return item.text.startsWith("回放"); });
        ASSERT_NE(mark, canvas.m_items.end()) << display;
        EXPECT_EQ(mark->colour, QColor(Qt::white));
    }
    // Elsewhere on the screen: right of the window, else left, else inside
    // it right of the dials, else below them.
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(300, 150);
    const std::vector<std::tuple<QRect, QRect, QPoint>> places = {
        {{0, 0, 1035, 747}, {50, 80, 700, 600}, {1035, 80}},
        {{885, 0, 1035, 747}, {935, 80, 700, 600}, {585, 80}},
        {{0, 0, 1920, 1050}, {400, 80, 1100, 950}, {1620, 80}},
        {{0, 0, 1920, 800}, {0, 30, 1900, 760}, {0, 790}},
    };
    for (const auto& [frame, dialsThere, expected] : places)
        EXPECT_EQ(ReplayWindowPlace(screen, frame, dialsThere, size), expected) << frame.x();
    EXPECT_EQ(&live.view->Monitor(), &replay->Session().Monitor());
    EXPECT_EQ(health->windowTitle(), "数据状态（回放）");

    QTest::keyClick(replay->SpeedBox(), Qt::Key_End); // "最快"
    ASSERT_TRUE(WaitUntil([&] { return replay->Source().CurrentStatus().bFinished; }));
    ASSERT_TRUE(WaitUntil([&] { return live.view->Monitor().Values().m_dHeading == 359.9; }));
    auto* pane = live.frame->findChild<QLabel*>("replayPane");
    // The date is the file's (the record's name carries none), the time its sentences'.
    const QRegularExpression expected(R"(^回放 \d{4}-\d\d-\d\d 01:23:4\d\.\d \(最快，已结束\)$)");
    ASSERT_TRUE(WaitUntil([&] { return expected.match(pane->text()).hasMatch(); }))
        << pane->text().toStdString();
    replay->grab().save(TestOutputDir() + "/replay.png");

    // The live line meanwhile: recorded and interpreted, not shown.
    const std::string line = CInstrumentSimulator::WithNmeaChecksum("$GPHDT,45.0,T");
    ASSERT_TRUE(live.sim.Write(line));
    ASSERT_TRUE(WaitUntil([&] { return session.Monitor().Values().m_dHeading == 45.0; }));
    EXPECT_EQ(live.view->Monitor().Values().m_dHeading, 359.9);

    ASSERT_TRUE(live.frame->OnCommand(ID_REPLAY_END));
    EXPECT_EQ(live.frame->Replay(), nullptr);
    EXPECT_TRUE(live.view->Marks().strReplay.isEmpty());
    EXPECT_EQ(&live.view->Monitor(), &session.Monitor());
    EXPECT_EQ(health->windowTitle(), "数据状态");
    EXPECT_FALSE(pane->isVisible());
    EXPECT_FALSE(live.frame->OnCommand(ID_REPLAY_END)); // nothing to end
    EXPECT_TRUE(ReadFile(live.RecordPath()).ends_with(line));
}

} // namespace
