#include "link/Udp450.h"
#include "link/NetSessionFixture.h"
#include "link/ReplaySource.h"
#include "link/TagBlock.h"
#include "tools/Simulator.h"

#include <chrono>
#include <cmath>

namespace {

using namespace net_test;
using namespace std::string_literals;

std::string Hdt(double heading) {
    return CInstrumentSimulator::WithNmeaChecksum("$GPHDT," + std::to_string(heading) + ",T");
}

const CMessageCounts::Row* Row(const CMessageCounts& counts, std::string_view name) {
    for (int i = 0; i < counts.Types(); ++i) {
        if (counts.Type(i).Name() == name)
            return &counts.Type(i);
    }
    return nullptr;
}

// Datagrams of a bridge network, one at a time, to a UDP source: the
// sentences behind "UdPbC" (with its NUL or straight before the tag block)
// are read, a tag block whose checksum fails leaves its sentence unread, and
// a datagram with another 450 header is counted, never read, even where its
// bytes look like a sentence. The raw capture holds every datagram as sent,
// the record what was framed of them, and a replay of the capture reads the
// same.
TEST(Udp450Input, SentencesBehindTheHeaderAreReadOtherDatagramsCountedAllRecorded) {
    struct Case {
        std::string datagram;
        std::size_t header;      // bytes before the text; npos: no text
        double heading;          // the last one read, after this datagram
        std::uint64_t framed;    // messages
        std::uint64_t refused;   // sentences left unread for their tag block
        std::string_view source; // the tag block's s: shown for GPHDT
    };
    const std::string nul(1, '\0');
    const std::size_t none = std::string::npos;
    const std::vector<Case> table = {
        {"UdPbC" + nul + "\\s:kplex*23\\" + Hdt(10.5), 6, 10.5, 1, 0, "kplex"},
        {"UdPbC\\c:1423133110*5C\\" + Hdt(11.5), 5, 11.5, 1, 0, "kplex"},
        {"UdPbC" + nul + "\\s:kplex,c:1423133048*5F\\" + Hdt(12.5), 6, 12.5, 1, 0, "kplex"},
        {"UdPbC" + nul + "\\s:EI9999,d:AI9610,n:270*7C\\" + Hdt(13.5), 6, 13.5, 1, 0, "EI9999"},
        {"UdPbC" + nul + "\\s:002131,c:1677664386*B4\\" + Hdt(99), 6, 13.5, 1, 1, "EI9999"},
        {"UdPbC" + nul + "\\c:1754242770*39\\" + Hdt(98), 6, 13.5, 1, 1, "EI9999"},
        {"UdPbC" + nul + "\\s:kplex*23\\" + Hdt(14.5) + "\\s:EI9999,d:AI9610,n:270*7C\\" +
             Hdt(15.5),
         6, 15.5, 2, 0, "EI9999"},
        {"RaUdP" + nul + "\x01\x02"s + nul + Hdt(97), none, 15.5, 0, 0, "EI9999"},
        {"RrUdP" + nul + Hdt(96), none, 15.5, 0, 0, "EI9999"},
        {"NkPgN" + nul + "\x80\x01\xF1\x13"s, none, 15.5, 0, 0, "EI9999"},
        {Hdt(16.5), 0, 16.5, 1, 0, "EI9999"}, // NMEA over UDP as before
    };
    CTempFolder folder;
    CInstrumentSession session;
    std::string error;
    ASSERT_TRUE(session.CreateRecord(folder.path, std::tm{}, &error)) << error;
    const unsigned port = FreeUdpPort();
    session.UseSourceAddress(Address("udp://:" + std::to_string(port)));
    session.Start();
    ASSERT_TRUE(WaitFor([&] { return session.IsConnected(); }));
    const int sender = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to = Loopback(port);
    std::string sent, record;
    std::uint64_t framed = 0, refused = 0, others = 0;
    for (const Case& c : table) {
        SCOPED_TRACE(c.datagram);
        ASSERT_EQ(sendto(sender, c.datagram.data(), c.datagram.size(), 0,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(c.datagram.size()));
        sent += c.datagram;
        if (c.header == none)
            ++others;
        else
            record += c.datagram.substr(c.header);
        framed += c.framed;
        refused += c.refused;
        ASSERT_TRUE(
            WaitFor([&] { return ReadFile(session.RawCapturePath()).size() == sent.size(); }));
        const SessionHealth health = session.Health();
        EXPECT_EQ(health.nOtherDatagrams, others);
        EXPECT_EQ(session.MessagesFramed(), framed);
        double heading = 0;
        EXPECT_TRUE(session.Monitor().LastAngle(Quantity::Heading, &heading));
        EXPECT_NEAR(heading, c.heading, 1e-9);
        const CMessageCounts::Row* hdt = Row(health.types, "GPHDT");
        ASSERT_NE(hdt, nullptr);
        EXPECT_EQ(hdt->checksumFailures, refused);
        EXPECT_EQ(hdt->Source(), c.source);
    }
    close(sender);
    EXPECT_TRUE(ReadFile(session.RawCapturePath()) == sent);
    EXPECT_TRUE(WaitFor([&] { return ReadFile(session.RecordPath()).size() >= record.size(); }));
    EXPECT_EQ(ReadFile(session.RecordPath()), record);

    CInstrumentSession replay(nullptr, CInstrumentSession::Role::Replay);
    CReplaySource& source = replay.UseSource(std::make_unique<CReplaySource>());
    ASSERT_TRUE(source.Open(session.RawCapturePath(), &error)) << error;
    source.SetSpeed(CReplaySource::kFastest);
    while (source.Pump(replay, 0) >= 0)
        replay.TakeMessages();
    EXPECT_EQ(replay.MessagesFramed(), framed);
    EXPECT_EQ(replay.Health().nOtherDatagrams, others);
}

// A received line into a datagram of ours: the header, our tag block (the
// one the line came with replaced), the sentence ended by CR LF. What is no
// sentence, or whose tag block fails, is not sent and takes no line number.
TEST(Udp450Output, EachSentenceGetsTheHeaderAndATagBlockOfOurs) {
    const std::int64_t t = 1700000000123;
    const std::string head = "UdPbC"s + '\0';
    const std::string hdt = "$GPHDT,1.0,T*34";
    const std::string ais = "!AIVDM,1,1,,A,13aG?P0P00PD;88MD5MTDww@2<0L,0*23";
    struct Case {
        std::string line;
        std::int64_t n; // the line count given; 0: not sent
        std::string sentence;
    };
    const std::vector<Case> table = {
        {hdt + "\r\n", 1, hdt},
        {hdt + "\n", 2, hdt},
        {hdt, 3, hdt}, // a datagram's last line, without its line feed
        {"\\s:kplex*23\\" + hdt + "\r\n", 4, hdt},
        {ais + "\r\n", 5, ais},
        {"\\c:1754242770*39\\" + hdt + "\r\n", 0, ""},
        {"GPHDT,1.0,T\r\n", 0, ""},
        {"\r\n", 0, ""},
    };
    CUdp450Writer writer;
    std::string out;
    ASSERT_TRUE(writer.Datagram(hdt + "\r\n", t, out));
    EXPECT_EQ(out, head + "\\s:QM0001,n:1,c:1700000000*6E\\" + hdt + "\r\n");
    writer = CUdp450Writer();
    for (const Case& c : table) {
        SCOPED_TRACE(c.line);
        const std::string before = out;
        ASSERT_EQ(writer.Datagram(c.line, t, out), c.n != 0);
        if (c.n == 0) {
            EXPECT_EQ(out, before);
            continue;
        }
        const TagBlock tag = ReadTagBlock(std::string_view(out).substr(head.size()));
        EXPECT_EQ(tag.state, TagBlock::State::Holds);
        EXPECT_EQ(tag.source, "QM0001");
        EXPECT_EQ(tag.nLine, c.n);
        EXPECT_EQ(tag.nUnixMs, 1700000000000);
        EXPECT_EQ(out, head + out.substr(head.size(), tag.nLength) + c.sentence + "\r\n");
    }
    // The line count runs to 999 and starts again at 1.
    for (int n = 6; n <= 999; ++n)
        ASSERT_TRUE(writer.Datagram(hdt, t, out));
    EXPECT_EQ(ReadTagBlock(std::string_view(out).substr(head.size())).nLine, 999);
    ASSERT_TRUE(writer.Datagram(hdt, t, out));
    EXPECT_EQ(ReadTagBlock(std::string_view(out).substr(head.size())).nLine, 1);
}

TEST(Udp450Output, SourceIdentifierIsOneToThirtyTwoLettersAndDigits) {
    const std::vector<std::pair<std::string, bool>> table = {
        {"QM0001", true},
        {"A", true},
        {std::string(32, '7'), true},
        {"", false},
        {std::string(33, 'A'), false},
        {"QM-001", false},
        {"QM 001", false},
        {"QM,001", false},
        {"QM*01", false},
        {"Q\\M", false},
        {"\xC3\x84"
         "B",
         false},
    };
    for (const auto& [text, ok] : table) {
        EXPECT_EQ(IsUdp450Source(text), ok) << text;
        EXPECT_EQ(CUdp450Writer(text).Source(), ok ? text : "QM0001") << text;
    }
}

// Our 450 output read by our own input over a multicast group on this
// machine (the loopback where no other interface has a route to the group):
// the heading shown is the last one sent, and every line the session
// recorded carries our tag block, its line count running on from 1 and the
// time it was sent.
TEST(Udp450RoundTrip, OurDatagramsToAGroupAreReadByOurSource) {
    const unsigned port = FreeUdpPort();
    const std::string group = "239.192.0.1";
    CTempFolder folder;
    CInstrumentSession receiver;
    std::string error;
    ASSERT_TRUE(receiver.CreateRecord(folder.path, std::tm{}, &error)) << error;
    receiver.UseSourceAddress(Address("udp://" + group + ":" + std::to_string(port)));
    receiver.Start();
    ASSERT_TRUE(WaitFor([&] { return receiver.IsConnected(); })) << receiver.Link().strError;

    CInstrumentSession sender; // fed by hand, as its source would
    UdpOutput output;
    output.format = UdpOutput::Format::Iec450;
    output.strSource = "QM0042";
    ASSERT_TRUE(sender.ServeUdp(group, port, &error, output)) << error;
    EXPECT_TRUE(sender.Serving().bUdp450);
    const std::vector<std::string> sentences = {Hdt(201.25), "$C12.5,-1.5\r\n", Hdt(202.5)};
    std::string lines = "noise that is no sentence\r\n";
    for (const std::string& s : sentences)
        lines += s;
    const auto now = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const std::int64_t sentAtMs = now();
    sender.Process(reinterpret_cast<const std::uint8_t*>(lines.data()), lines.size(), SteadyMs());

    double heading = 0;
    ASSERT_TRUE(WaitFor([&] {
        return receiver.Monitor().LastAngle(Quantity::Heading, &heading) && heading == 202.5;
    }));
    EXPECT_EQ(receiver.Health().nOtherDatagrams, 0u);
    std::string record;
    ASSERT_TRUE(WaitFor([&] {
        record = ReadFile(receiver.RecordPath());
        return Occurrences(record, "\n") == sentences.size();
    }));
    std::size_t at = 0;
    for (std::size_t i = 0; i < sentences.size(); ++i) {
        const std::size_t end = record.find('\n', at) + 1;
        const std::string_view line = std::string_view(record).substr(at, end - at);
        at = end;
        const TagBlock tag = ReadTagBlock(line);
        ASSERT_EQ(tag.state, TagBlock::State::Holds) << line;
        EXPECT_EQ(tag.source, "QM0042");
        EXPECT_EQ(tag.nLine, static_cast<std::int64_t>(i + 1));
        EXPECT_GE(tag.nUnixMs, sentAtMs / 1000 * 1000);
        EXPECT_LE(tag.nUnixMs, now());
        EXPECT_EQ(line.substr(tag.nLength), sentences[i]);
    }
}

} // namespace
