// What the network session tests share: the recorded stream and its record,
// loopback helpers, and a session started on a network source with a record
// in a folder of its own.
#pragma once

#include "link/InstrumentSession.h"
#include "support/LinkSupport.h"

#include <gtest/gtest.h>

namespace net_test {

inline const std::string kStream = ReadFile(QUILLMAR_TEST_DATA "/mixed-stream.bin");
inline const std::string kRecord = ReadFile(QUILLMAR_TEST_DATA "/mixed-stream.record");

inline int AcceptWithin(int listening) {
    pollfd ready{listening, POLLIN, 0};
    return poll(&ready, 1, 10000) == 1 ? accept(listening, nullptr, nullptr) : -1;
}

inline bool SendAll(int fd, std::string_view bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

inline SourceAddress Address(const std::string& url) {
    SourceAddress address;
    std::string error;
    EXPECT_TRUE(SourceAddress::Parse(url, &address, &error)) << error;
    return address;
}

inline unsigned FreeUdpPort() {
    const int probe = Bound(SOCK_DGRAM, 0);
    const unsigned port = LocalPort(probe);
    close(probe); // the session binds this port
    return port;
}

inline std::uint64_t DatagramsHeard(const CUdpSenders& senders) {
    std::uint64_t heard = senders.UnlistedDatagrams();
    for (int i = 0; i < senders.Senders(); ++i)
        heard += senders.At(i).datagrams;
    return heard;
}

// Starts session on a UDP source at a free port (query after it), recording
// into folder; the port, once the source is bound.
inline unsigned StartUdpSession(CInstrumentSession& session, const std::string& folder,
                                const std::string& query = {}) {
    std::string error;
    EXPECT_TRUE(session.CreateRecord(folder, std::tm{}, &error)) << error;
    const unsigned port = FreeUdpPort();
    session.UseSourceAddress(Address("udp://:" + std::to_string(port) + query));
    session.Start();
    EXPECT_TRUE(WaitFor([&] { return session.IsConnected(); }));
    return port;
}

// Sends bytes as one datagram from fd to the loopback's port.
inline void SendDatagram(int fd, unsigned port, std::string_view bytes) {
    const sockaddr_in to = Loopback(port);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

// What the stream leaves in the record, or its text lines only.
inline std::string Recorded(const std::string& stream, bool textOnly) {
    std::string recorded;
    CReceiverMessage framer;
    framer.Feed(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
                [&](const FramedMessage& m) {
                    if (m.bTextLine || !textOnly)
                        recorded += m.Text();
                });
    return recorded;
}

class NetSessionTest : public ::testing::Test {
protected:
    void Start(const std::string& url) {
        std::string error;
        ASSERT_TRUE(m_session.CreateRecord(m_folder.path, std::tm{}, &error)) << error;
        m_session.UseSourceAddress(Address(url));
        m_session.Start();
    }
    // Starts on a TCP server of the test's own (m_listening); the connection
    // the session made to it.
    int StartOnOwnServer() {
        m_listening = Bound(SOCK_STREAM, 0);
        Start("tcp://127.0.0.1:" + std::to_string(LocalPort(m_listening)));
        return AcceptWithin(m_listening);
    }
    void TearDown() override { close(m_listening); }
    bool RecordIs(const std::string& expected) {
        return WaitFor(
                   [&] { return ReadFile(m_session.RecordPath()).size() >= expected.size(); }) &&
               ReadFile(m_session.RecordPath()) == expected;
    }

    CTempFolder m_folder;
    CInstrumentSession m_session;
    int m_listening = -1;
};

} // namespace net_test
