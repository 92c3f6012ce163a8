// Two heading sources in one session over real UDP sockets: a GNSS compass
// (the first source) and a gyro. The test plays both at about 20 Hz while it
// waits, and moves them through a disagreement, a dropout of the compass and
// its return.
#include "link/NetSessionFixture.h"
#include "tools/Simulator.h"

#include <cmath>
#include <cstdio>

using namespace net_test;

namespace {

class CTwoInstruments {
public:
    CTwoInstruments(unsigned compassPort, unsigned gyroPort)
        : m_fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)), m_to{Loopback(compassPort),
                                                                    Loopback(gyroPort)} {}
    ~CTwoInstruments() { close(m_fd); }
    // NaN: the instrument sends nothing.
    void Set(double compass, double gyro) { m_heading[0] = compass, m_heading[1] = gyro; }
    // Both send at their own pace of 20 Hz until pred() holds or the wait's time is up.
    bool Until(const std::function<bool()>& pred) {
        return WaitFor([&] {
            if (SteadyMs() >= m_nextMs) {
                m_nextMs = SteadyMs() + 50;
                Send(0);
                Send(1);
            }
            return pred();
        });
    }
    std::string sent[2]; // the compass's, the gyro's

private:
    void Send(int i) {
        if (std::isnan(m_heading[i]))
            return;
        char body[40];
        std::snprintf(body, sizeof body, "$%sHDT,%.1f,T", i ? "HE" : "GP", m_heading[i]);
        const std::string line = CInstrumentSimulator::WithNmeaChecksum(body);
        if (sendto(m_fd, line.data(), line.size(), 0, reinterpret_cast<const sockaddr*>(&m_to[i]),
                   sizeof m_to[i]) == static_cast<ssize_t>(line.size()))
            sent[i] += line;
    }

    int m_fd;
    sockaddr_in m_to[2];
    double m_heading[2] = {NAN, NAN};
    std::int64_t m_nextMs = 0;
};

// The lines of the event log about the choice, the comparison and lost data.
std::string HeadingLines(const std::string& log) {
    std::string lines;
    for (const std::string& line : SplitFields(log, '\n')) {
        const std::vector<std::string> fields = SplitFields(line, ',');
        if (fields.size() >= 3 &&
            (fields[1] == "heading" || fields[1] == "heading-difference" || fields[1] == "data"))
            lines += fields[1] + "," + fields[2] + "," + (fields.size() > 3 ? fields[3] : "") +
                     "," + (fields.size() > 4 ? fields[4] : "") + "\n";
    }
    return lines;
}

TEST(SeveralSources, EachRecordedApartComparedAndFailedOverAnnounced) {
    CTempFolder folder;
    CInstrumentSession session;
    const unsigned compassPort = FreeUdpPort(), gyroPort = FreeUdpPort();
    session.UseSourceAddress(Address("udp://:" + std::to_string(compassPort)));
    session.SetFirstSourceLabel("compass");
    session.AddSource("gyro", Address("udp://:" + std::to_string(gyroPort)));
    // Short delays so the story takes seconds, not minutes.
    session.SetSourceChoiceSettings({60, 500, 800});
    session.SetHeadingCompareSettings({1000, 3, 10, 300, 300, 0.5, 30000});
    session.Monitor().SetStaleMs(500); // a failover leaves no stale value and no data alarm
    std::string error;
    ASSERT_TRUE(session.CreateRecord(folder.path, std::tm{}, &error)) << error;
    session.Start();
    // Bound before the first datagram, or it is lost to the record.
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<SourceStatus> sources = session.Sources();
        return sources.size() == 2 && sources[0].link.kind == LinkState::Kind::Connected &&
               sources[1].link.kind == LinkState::Kind::Connected;
    }));
    CTwoInstruments ship(compassPort, gyroPort);
    const auto heading = [&] { return session.Monitor().Values().m_dHeading; };
    const auto logged = [&] { return HeadingLines(ReadFile(session.EventLogPath())); };

    // Both agree; whichever came first, the compass is shown once it has been
    // valid for the failback time.
    ship.Set(100.0, 101.0);
    ASSERT_TRUE(ship.Until([&] { return session.ChosenSource(Quantity::Heading) == "compass"; }));
    EXPECT_EQ(heading(), 100.0);

    // The gyro drifts 4 degrees off: the difference alarm, acknowledged.
    ship.Set(100.0, 104.0);
    ASSERT_TRUE(ship.Until([&] {
        return session.Alarms().Of(AlarmSubject::HeadingDifference) ==
               AlertState::ActiveUnacknowledged;
    }));
    EXPECT_TRUE(session.Alarms().Sounding());
    session.AcknowledgeAlarms();
    ASSERT_TRUE(ship.Until([&] {
        return session.Alarms().Of(AlarmSubject::HeadingDifference) ==
               AlertState::ActiveAcknowledged;
    }));
    ship.Set(100.0, 101.0);
    ASSERT_TRUE(ship.Until([&] {
        return session.Alarms().Of(AlarmSubject::HeadingDifference) == AlertState::Normal;
    }));

    // The compass falls silent: the gyro takes over once it is stale, and the
    // compass takes back after it has been valid again for the failback time.
    ship.Set(NAN, 101.0);
    ASSERT_TRUE(ship.Until([&] { return session.ChosenSource(Quantity::Heading) == "gyro"; }));
    ASSERT_TRUE(ship.Until([&] { return heading() == 101.0; }));
    EXPECT_EQ(session.LastSwitch().strFrom, "compass");
    ship.Set(100.0, 101.0);
    ASSERT_TRUE(ship.Until([&] { return session.ChosenSource(Quantity::Heading) == "compass"; }));
    ASSERT_TRUE(ship.Until([&] { return heading() == 100.0; }));
    EXPECT_TRUE(session.LastSwitch().bFailback);

    ASSERT_TRUE(ship.Until([&] { return logged().find("source-failback") != std::string::npos; }));
    const std::string lines = logged();
    // A failback at the start only when the gyro's first heading came first.
    const std::string fromStart = "heading,source-failback,gyro,compass\n";
    EXPECT_EQ(
        lines.substr(lines.compare(0, fromStart.size(), fromStart) == 0 ? fromStart.size() : 0),
        "heading-difference,active,-4,3\n"
        "heading-difference,acknowledged,-4,3\n"
        "heading-difference,normal,-1,3\n"
        "heading,source-switch,compass,gyro\n"
        "heading,source-failback,gyro,compass\n");

    // Each source's record holds its own stream, byte for byte.
    const std::vector<SourceStatus> sources = session.Sources();
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[1].strRecordPath,
              session.RecordPath().substr(0, session.RecordPath().size() - 4) + "-gyro.txt");
    const std::string &compass = ship.sent[0], &gyro = ship.sent[1];
    EXPECT_TRUE(WaitFor([&] { return ReadFile(session.RecordPath()) == compass; }))
        << ReadFile(session.RecordPath()).size() << " bytes recorded of " << compass.size();
    EXPECT_TRUE(WaitFor([&] { return ReadFile(sources[1].strRecordPath) == gyro; }))
        << ReadFile(sources[1].strRecordPath).size() << " bytes recorded of " << gyro.size();
}

} // namespace
