#include "link/MessageCounts.h"

#include "link/FramedMessage.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {
constexpr std::size_t kAddressMax = 10; // longer is no sentence address
constexpr std::size_t kSubTypeMax = 5;  // "HPR" of "$PSAT,HPR"

bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsAddressChar(char c) {
    return IsUpper(c) || (c >= '0' && c <= '9');
}
bool EndsField(std::string_view text, std::size_t at) {
    return at == text.size() || text[at] == ',' || text[at] == '*' || text[at] == '\r' ||
           text[at] == '\n';
}

constexpr std::uint32_t kHashStart = 2166136261u; // FNV-1a
constexpr std::uint32_t kHashPrime = 16777619u;
constexpr std::uint32_t kInstrumentHash = 0x24; // any slot will do

// The type of a sentence, a part of the text: its address, with a
// proprietary sentence's sub-type after the comma ("PSAT,HPR"); empty when
// the text is no sentence. Hashed on the way.
std::string_view SentenceName(std::string_view text, std::uint32_t* hash) {
    std::uint32_t h = kHashStart;
    // One past the longest address: a longer one ends in no field end.
    const std::size_t limit = std::min(text.size(), kAddressMax + 1);
    std::size_t end = 1;
    for (; end < limit && IsAddressChar(text[end]); ++end)
        h = (h ^ static_cast<std::uint8_t>(text[end])) * kHashPrime;
    if (end == 1 || !EndsField(text, end))
        return {};
    if (text[1] == 'P' && end < text.size() && text[end] == ',') {
        std::uint32_t sh = (h ^ static_cast<std::uint8_t>(',')) * kHashPrime;
        std::size_t sub = end + 1;
        while (sub < text.size() && sub - end - 1 < kSubTypeMax && IsUpper(text[sub]))
            sh = (sh ^ static_cast<std::uint8_t>(text[sub++])) * kHashPrime;
        if (sub > end + 1 && EndsField(text, sub)) {
            *hash = sh;
            return text.substr(1, sub - 1);
        }
    }
    *hash = h;
    return text.substr(1, end - 1);
}
} // namespace

void CMessageCounts::Row::Add(std::int64_t nowMs, bool checksumFailed) {
    rate.Add(nowMs);
    ++count;
    if (checksumFailed)
        ++checksumFailures;
    lastMs = nowMs;
}

CMessageCounts::CMessageCounts() {
    m_index.fill(kEmpty);
}

void CMessageCounts::Count(const FramedMessage& message, bool checksumFailed, std::int64_t nowMs) {
    if (message.bTextLine)
        CountText(message.bytes, checksumFailed, nowMs);
    else
        CountPacket(message.nType, nowMs);
}

void CMessageCounts::Count(const FramedMessage& message, const SentenceReading& reading,
                           std::int64_t nowMs) {
    if (message.bTextLine)
        CountReading(message.bytes, reading, nowMs);
    else
        CountPacket(message.nType, nowMs);
}

void CMessageCounts::CountReading(std::string_view text, const SentenceReading& reading,
                                  std::int64_t nowMs) {
    // A tag block's sentence is counted under its own name.
    text.remove_prefix(std::min(reading.tag.nLength, text.size()));
    Row& row = CountText(text, reading.checksum == SentenceReading::Checksum::Fails, nowMs);
    for (const Observation& o : reading)
        ++row.observed[static_cast<int>(o.quantity)][static_cast<int>(o.validity)];
    row.overlong += reading.bOverlong;
    const auto keep = [](std::string_view from, char* to, std::uint8_t& length) {
        length = static_cast<std::uint8_t>(std::min<std::size_t>(from.size(), kNameSize));
        std::memcpy(to, from.data(), length);
    };
    if (reading.status.size() != row.statusLength ||
        !std::equal(reading.status.begin(), reading.status.end(), row.status))
        keep(reading.status, row.status, row.statusLength);
    if (!reading.tag.source.empty())
        keep(reading.tag.source, row.source, row.sourceLength);
}

CMessageCounts::Row& CMessageCounts::CountText(std::string_view text, bool checksumFailed,
                                               std::int64_t nowMs) {
    Row* row = &m_rows[kMaxTypes];
    if (text.size() >= 2 && text[0] == '$') {
        // The instrument's own sentence, "$C" and a number (a talker such as
        // "$CCHDT" goes on below).
        if (text[1] == 'C' && (text.size() < 3 || !IsUpper(text[2]))) {
            if (m_nInstrumentRow < 0)
                m_nInstrumentRow = Index(Find(Row::Kind::Sentence, 0, "$C", kInstrumentHash));
            row = &m_rows[m_nInstrumentRow];
        } else {
            row = &FindSentence(text);
        }
    }
    row->Add(nowMs, checksumFailed);
    return *row;
}

CMessageCounts::Row& CMessageCounts::FindSentence(std::string_view text) {
    // The first eight bytes up to the first ',' or '*', and where that is:
    // for a plain sentence seen before, that is "$" and its address, enough
    // to find its row without reading the address.
    std::uint64_t key = 0;
    if (std::endian::native == std::endian::little && text.size() >= 8 && text[1] != 'P') {
        constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
        auto zeroBytes = [&](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
        std::uint64_t word;
        std::memcpy(&word, text.data(), sizeof word);
        const std::uint64_t ends =
            zeroBytes(word ^ (kOnes * ',')) | zeroBytes(word ^ (kOnes * '*'));
        const int at = std::countr_zero(ends) / 8; // 8: none
        if (at >= 2 && at < 8)
            key = (word & ((std::uint64_t{1} << (8 * at)) - 1)) | std::uint64_t(at) << 56;
    }
    Known& known = m_known[(key * 0x9E3779B97F4A7C15u) >> 58];
    if (key && known.key == key)
        return m_rows[known.row];
    std::uint32_t hash = 0;
    const std::string_view name = SentenceName(text, &hash);
    if (name.empty())
        return m_rows[kMaxTypes];
    Row& row = Find(Row::Kind::Sentence, 0, name, hash);
    // Known by its first bytes when they are "$" and the address, the field end next.
    if (key && name.size() + 1 == (key >> 56) && Index(row) < kMaxTypes)
        known = {key, Index(row)};
    return row;
}

void CMessageCounts::CountPacket(std::uint8_t type, std::int64_t nowMs) {
    Find(Row::Kind::Packet, type, {}, kHashStart ^ type).Add(nowMs, false);
}

CMessageCounts::Row& CMessageCounts::Find(Row::Kind kind, std::uint8_t packetType,
                                          std::string_view name, std::uint32_t hash) {
    // At most half the index is used: the probe always ends at an empty slot.
    for (std::uint32_t slot = hash & (kIndexSize - 1);; slot = (slot + 1) & (kIndexSize - 1)) {
        const std::uint8_t at = m_index[slot];
        if (at == kEmpty) {
            if (m_nTypes == kMaxTypes)
                return m_rows[kMaxTypes];
            m_index[slot] = static_cast<std::uint8_t>(m_nTypes);
            Row& row = m_rows[m_nTypes++];
            row.kind = kind;
            row.packetType = packetType;
            row.nameLength = static_cast<std::uint8_t>(name.size());
            for (std::size_t i = 0; i < name.size(); ++i)
                row.name[i] = name[i];
            return row;
        }
        Row& row = m_rows[at];
        if (row.kind == kind && row.packetType == packetType && row.nameLength == name.size() &&
            std::equal(name.begin(), name.end(), row.name))
            return row;
    }
}
