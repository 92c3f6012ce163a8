#include "link/Udp450.h"

#include "link/TagBlock.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kToken = 5;
constexpr char kSentences[] = "UdPbC";
constexpr const char* kOthers[] = {"RaUdP", "RrUdP", "NkPgN"};

bool StartsWith(const std::uint8_t* bytes, std::size_t count, const char* token) {
    return count >= kToken && std::memcmp(bytes, token, kToken) == 0;
}
} // namespace

Udp450Header ReadUdp450Header(const std::uint8_t* bytes, std::size_t count) {
    if (StartsWith(bytes, count, kSentences)) {
        // "UdPbC\0", or "UdPbC" straight before the first tag block.
        if (count == kToken || bytes[kToken] == '\\')
            return {Udp450Header::Kind::Sentences, kToken};
        if (bytes[kToken] == '\0')
            return {Udp450Header::Kind::Sentences, kToken + 1};
        return {};
    }
    for (const char* token : kOthers) {
        if (StartsWith(bytes, count, token) && (count == kToken || bytes[kToken] == '\0'))
            return {Udp450Header::Kind::Other, std::min(count, kToken + 1)};
    }
    return {};
}

bool IsUdp450Source(std::string_view text) {
    return !text.empty() && text.size() <= kMaxTagSource &&
           std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
           });
}

CUdp450Writer::CUdp450Writer(std::string_view source)
    : m_strSource(IsUdp450Source(source) ? source : kDefaultSource) {}

bool CUdp450Writer::Datagram(std::string_view line, std::int64_t unixMs, std::string& out) {
    const TagBlock tag = ReadTagBlock(line);
    if (tag.state == TagBlock::State::Fails)
        return false;
    line.remove_prefix(tag.nLength);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.empty() || (line[0] != '$' && line[0] != '!'))
        return false;
    m_nLine = m_nLine % kMaxLine + 1;
    char block[kMaxTagBlock];
    const std::size_t length = WriteTagBlock(m_strSource, m_nLine, unixMs, block);
    out.assign(kSentences, kToken + 1); // the NUL included
    out.append(block, length);
    out.append(line);
    out.append("\r\n");
    return true;
}
