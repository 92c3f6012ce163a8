// Qt-free helpers of every test program (the link tests link no Qt): framing
// a stream offline, files and folders, loopback sockets, waiting without an
// event loop, and counting descriptors.
#pragma once

#include "link/ReceiverMessage.h"
#include "link/RecordReader.h"
#include "link/RecordTimes.h"
#include "link/SignalK.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct ReceivedMessage {
    bool textLine;
    int type;
    std::string bytes;
    bool operator==(const ReceivedMessage&) const = default;
};

// The messages a stream frames into: a byte at a time through FeedByte when
// chunk is 0, else through the block feed in chunks of `chunk` bytes. Every
// completed text line must be followed by a zero byte in the buffer.
inline std::vector<ReceivedMessage> FrameOffline(const std::string& stream, std::size_t chunk = 0) {
    CReceiverMessage framer;
    std::vector<ReceivedMessage> out;
    auto collect = [&](const FramedMessage& m) {
        out.push_back({m.bTextLine, m.nType, std::string(m.bytes)});
        if (m.bTextLine)
            EXPECT_EQ(m.bytes.data()[m.bytes.size()], 0);
    };
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.data());
    for (std::size_t at = 0; at < stream.size(); at += chunk ? chunk : 1) {
        if (chunk)
            framer.Feed(bytes + at, std::min(chunk, stream.size() - at), collect);
        else
            framer.FeedByte(bytes[at], collect);
    }
    return out;
}

inline std::string Bytes(std::initializer_list<int> values) {
    return std::string(values.begin(), values.end());
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Replaces the file at path with bytes; false if it cannot be written whole.
inline bool WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

// A record read back: the time source, and per message its text, what the
// reader made of it (its bytes gone with the reader: see texts) and whether
// an entry of the timing file cut it.
struct RecordReadBack {
    RecordTimeSource source = RecordTimeSource::None;
    std::vector<std::string> texts;
    std::vector<RecordMessage> messages;
    std::vector<bool> timed;
    std::string note; // why a timing file or the clock sentences were left aside
};

inline RecordReadBack ReadRecord(const std::string& path) {
    RecordReadBack back;
    CRecordReader reader;
    std::string error;
    EXPECT_TRUE(reader.Open(path, &error)) << error;
    back.source = reader.TimeSource();
    back.note = reader.TimeSourceNote();
    RecordMessage message;
    for (auto before = reader.Tell(); reader.Next(&message); before = reader.Tell()) {
        back.texts.emplace_back(message.bytes);
        back.messages.push_back(message);
        back.timed.push_back(reader.Tell().nTimesOffset > before.nTimesOffset);
    }
    return back;
}

// Writes a record of lines, each received at baseUtcMs + its time, with its
// timing file unless untimed.
inline void WriteTimedRecord(const std::string& path, std::int64_t baseUtcMs,
                             const std::vector<std::pair<std::int64_t, std::string>>& lines,
                             bool timed = true) {
    CRecordTimesWriter times;
    std::string error, record;
    if (timed)
        EXPECT_TRUE(times.Open(path, baseUtcMs, &error)) << error;
    for (const auto& [atMs, line] : lines) {
        record += line;
        if (timed)
            times.Add(line, false, baseUtcMs + atMs);
    }
    if (timed)
        times.WriteBatch();
    EXPECT_TRUE(WriteFile(path, record));
}

inline sockaddr_in Loopback(unsigned port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

inline unsigned LocalPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A socket of type on 127.0.0.1:port (0: any), listening when it is TCP.
inline int Bound(int type, unsigned port) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in address = Loopback(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        (type == SOCK_STREAM && listen(fd, 4) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

// A TCP client of 127.0.0.1:port, its receive buffer set when given.
inline int Connected(unsigned port, int receiveBuffer = 0) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    const sockaddr_in address = Loopback(port);
    EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// Reads until `bytes` have come or the peer stops sending for long.
inline std::string ReceiveAll(int fd, std::size_t bytes) {
    std::string got;
    char buffer[65536];
    pollfd ready{fd, POLLIN, 0};
    while (got.size() < bytes && poll(&ready, 1, 10000) == 1) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// Looks at pred() every 2 ms until it holds or the time is up; returns pred().
inline bool WaitFor(const std::function<bool()>& pred,
                    std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until)
            return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The pieces between separators, empty ones included ("a,,b," gives four).
inline std::vector<std::string> SplitFields(std::string_view text, char separator) {
    std::vector<std::string> fields;
    for (std::size_t at = 0;;) {
        const std::size_t end = text.find(separator, at);
        fields.emplace_back(text.substr(at, end == std::string_view::npos ? end : end - at));
        if (end == std::string_view::npos)
            return fields;
        at = end + 1;
    }
}

// How many times part occurs in text, overlaps counted.
inline std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// A fresh folder under /tmp, removed with everything in it.
struct CTempFolder {
    std::string path = [] {
        char name[] = "/tmp/quillmar-test-XXXXXX";
        return std::string(mkdtemp(name) ? name : "");
    }();
    ~CTempFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
};

// How many descriptors this process holds: leak checks of the serial tests.
inline int OpenDescriptors() {
    int n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++n;
        closedir(dir);
    }
    return n;
}

// The situation after the sentences arrived at time 0, looked at `ageMs` later.
inline SignalKSituation SituationAfter(const std::vector<const char*>& sentences,
                                       std::int64_t ageMs = 0) {
    CMonitorState monitor;
    for (const char* s : sentences)
        monitor.InterpretText(std::string(s) + "\r\n", 0);
    SignalKSituation s;
    s.values = monitor.Values();
    s.nowMs = ageMs;
    s.epochNowMs = 1'800'000'000'000 + ageMs;
    s.staleMs = 3000;
    s.pitchLimit = s.rollLimit = 30;
    s.firstSource = "ttyUSB0";
    return s;
}
