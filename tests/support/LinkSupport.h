// Qt-free helpers of every test program (the link tests link no Qt): framing
// a stream offline, files and folders, waiting without an event loop, and
// counting descriptors.
#pragma once

#include "link/ReceiverMessage.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <thread>
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
    auto collect = [&](const CReceiverMessage& m) {
        out.push_back({m.m_bTextLine, m.m_nType, std::string(m.Bytes())});
        if (m.m_bTextLine)
            EXPECT_EQ(m.m_buffer[m.m_nLength], 0);
    };
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.data());
    for (std::size_t at = 0; at < stream.size(); at += chunk ? chunk : 1) {
        if (chunk)
            framer.Feed(bytes + at, std::min(chunk, stream.size() - at), collect);
        else if (framer.FeedByte(bytes[at]))
            collect(framer);
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

// Looks at pred() every 2 ms until it holds or the time is up; returns pred().
inline bool WaitFor(const std::function<bool()>& pred,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until)
            return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
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
