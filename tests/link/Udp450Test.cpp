#include "link/Udp450.h"
#include "link/NetSessionFixture.h"
#include "link/TagBlock.h"
#include "tools/Simulator.h"

#include <cmath>

namespace {

using namespace net_test;
using namespace std::string_literals;

std::string Hdt(double heading) {
    return CInstrumentSimulator::WithNmeaChecksum("$GPHDT," + std::to_string(heading) + ",T");
}

// Datagrams of a bridge network, one at a time: the sentences behind "UdPbC"
// (with its NUL or without) are read unless their tag block fails; one with
// another 450 header is counted and never read, though its bytes hold a
// sentence. The raw capture holds every datagram as sent, the record what was
// framed.
TEST(Udp450Input, SentencesBehindTheHeaderAreReadOtherDatagramsCountedAllRecorded) {
    const std::string nul(1, '\0'), kplex = "\\s:kplex*23\\";
    const std::size_t none = std::string::npos;
    struct Case {
        std::string datagram;
        std::size_t header;  // bytes before the text; none: no text
        double heading;      // the last one read, after this datagram
        int framed, refused; // messages; sentences whose tag block fails
    };
    const std::vector<Case> table = {
        {"UdPbC" + nul + kplex + Hdt(10.5), 6, 10.5, 1, 0},
        {"UdPbC\\c:1423133110*5C\\" + Hdt(11.5), 5, 11.5, 1, 0},
        // Which tag blocks verify is SentencesTest's; here, that one that fails is refused.
        {"UdPbC" + nul + "\\c:1754242770*39\\" + Hdt(98), 6, 11.5, 1, 1},
        {"UdPbC" + nul + kplex + Hdt(14.5) + kplex + Hdt(15.5), 6, 15.5, 2, 0},
        {"RaUdP" + nul + "\x01\x02"s + nul + Hdt(97), none, 15.5, 0, 0},
        {"RrUdP" + nul + Hdt(96), none, 15.5, 0, 0},
        {"NkPgN" + nul + "\x80\x01\xF1\x13"s, none, 15.5, 0, 0},
        {Hdt(16.5), 0, 16.5, 1, 0}, // NMEA over UDP as before
    };
    CTempFolder folder;
    CInstrumentSession session;
    std::string sent, record;
    const unsigned port = StartUdpSession(session, folder.path);
    const int sender = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    std::uint64_t framed = 0, refused = 0, others = 0;
    for (const Case& c : table) {
        SCOPED_TRACE(c.datagram);
        SendDatagram(sender, port, c.datagram);
        sent += c.datagram;
        record += c.header == none ? "" : c.datagram.substr(c.header);
        others += c.header == none;
        framed += c.framed;
        refused += c.refused;
        // The capture is written before the datagram is framed: both are waited for.
        WaitFor([&] {
            return ReadFile(session.RawCapturePath()) == sent &&
                   session.MessagesFramed() == framed && session.Health().nOtherDatagrams == others;
        });
        EXPECT_EQ(ReadFile(session.RawCapturePath()), sent);
        const SessionHealth health = session.Health();
        EXPECT_EQ(health.nOtherDatagrams, others);
        EXPECT_EQ(session.MessagesFramed(), framed);
        double heading = 0;
        EXPECT_TRUE(session.Monitor().LastAngle(Quantity::Heading, &heading));
        EXPECT_NEAR(heading, c.heading, 1e-9);
        EXPECT_EQ(health.types.Type(0).checksumFailures, refused); // GPHDT's
    }
    close(sender);
    EXPECT_TRUE(WaitFor([&] { return ReadFile(session.RecordPath()) == record; }));
}

// A line that is no sentence, or whose tag block fails, is not sent and
// takes no line number; the line count runs 1 … 999 and round again.
TEST(Udp450Output, SentencesOnlyAndTheLineCountWraps) {
    const std::string hdt = "$GPHDT,1.0,T*34";
    CUdp450Writer writer;
    std::string out;
    ASSERT_TRUE(writer.Datagram(hdt + "\n", 1700000000123, out)); // a line feed alone
    EXPECT_EQ(out, "UdPbC"s + '\0' + "\\s:QM0001,n:1,c:1700000000*6E\\" + hdt + "\r\n");
    for (const std::string& line : {"\\c:1754242770*39\\" + hdt, "GPHDT,1.0,T"s, "\r\n"s})
        EXPECT_FALSE(writer.Datagram(line, 0, out)) << line;
    for (int n = 2; n <= 1000; ++n) // a tag block received goes, ours in its place
        ASSERT_TRUE(writer.Datagram(n % 2 ? hdt : "\\s:kplex*23\\" + hdt, 0, out));
    EXPECT_EQ(out, "UdPbC"s + '\0' + "\\s:QM0001,n:1,c:0*58\\" + hdt + "\r\n");
}

// Our 450 output read by our own input over a multicast group on this
// machine (by the loopback where no interface has a route to the group): the
// heading shown is the last one sent, and each line recorded carries our tag
// block with its line count and the time it was sent.
TEST(Udp450RoundTrip, OurDatagramsToAGroupAreReadByOurSource) {
    const std::string group = "239.192.0.1";
    const unsigned port = FreeUdpPort();
    CTempFolder folder;
    CInstrumentSession receiver, sender; // the sender fed by hand, as its source would
    std::string error;
    ASSERT_TRUE(receiver.CreateRecord(folder.path, std::tm{}, &error)) << error;
    receiver.UseSourceAddress(Address("udp://" + group + ":" + std::to_string(port)));
    receiver.Start();
    ASSERT_TRUE(WaitFor([&] { return receiver.IsConnected(); })) << receiver.Link().strError;
    ASSERT_TRUE(sender.ServeUdp(group, port, &error, {UdpOutput::Format::Iec450, "QM0042", 1}))
        << error;
    const std::vector<std::string> sentences = {Hdt(201.25), "$C12.5,-1.5\r\n", Hdt(202.5)};
    std::string lines = "noise that is no sentence\r\n";
    for (const std::string& s : sentences)
        lines += s;
    const std::int64_t sentAt = std::time(nullptr);
    sender.Process(reinterpret_cast<const std::uint8_t*>(lines.data()), lines.size(), SteadyMs());
    std::string record;
    ASSERT_TRUE(WaitFor([&] {
        record = ReadFile(receiver.RecordPath());
        return Occurrences(record, "\n") == sentences.size();
    }));
    double heading = 0; // read before it was recorded
    EXPECT_TRUE(receiver.Monitor().LastAngle(Quantity::Heading, &heading));
    EXPECT_EQ(heading, 202.5);
    std::size_t at = 0;
    for (std::size_t i = 0; i < sentences.size(); ++i) {
        const TagBlock tag = ReadTagBlock(std::string_view(record).substr(at));
        ASSERT_EQ(tag.state, TagBlock::State::Holds) << record;
        EXPECT_EQ(tag.source, "QM0042");
        EXPECT_EQ(tag.nLine, static_cast<std::int64_t>(i + 1));
        EXPECT_LE(std::abs(tag.nUnixMs / 1000 - sentAt), 1);
        EXPECT_EQ(record.substr(at + tag.nLength, sentences[i].size()), sentences[i]);
        at += tag.nLength + sentences[i].size();
    }
    EXPECT_EQ(at, record.size());
}

} // namespace
