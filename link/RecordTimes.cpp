#include "link/RecordTimes.h"

#include <cstring>

namespace {
void PutVarint(std::string& out, std::uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

bool GetVarint(std::string_view bytes, std::size_t* at, std::uint64_t* value) {
    std::uint64_t result = 0;
    for (unsigned shift = 0, i = 0; *at + i < bytes.size() && shift < 64; shift += 7, ++i) {
        const auto byte = static_cast<std::uint8_t>(bytes[*at + i]);
        result |= std::uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80)) {
            *at += i + 1;
            *value = result;
            return true;
        }
    }
    return false;
}

std::uint64_t Zigzag(std::int64_t value) {
    return (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
}

std::int64_t Unzigzag(std::uint64_t value) {
    return static_cast<std::int64_t>(value >> 1) ^ -static_cast<std::int64_t>(value & 1);
}
} // namespace

std::string CRecordTimesWriter::PathFor(const std::string& recordPath) {
    return BesideRecord(recordPath, "-times.bin");
}

bool CRecordTimesWriter::Open(const std::string& recordPath, std::int64_t baseUtcMs,
                              std::string* error) {
    if (!m_file.Replace(PathFor(recordPath), error))
        return false;
    m_nLastUtcMs = baseUtcMs;
    std::string header(kTimesMagic, sizeof kTimesMagic);
    for (int i = 0; i < 8; ++i)
        header.push_back(static_cast<char>(static_cast<std::uint64_t>(baseUtcMs) >> (8 * i)));
    m_batch.clear();
    m_file.Write(header); // kept and written later should it fail
    return true;
}

void CRecordTimesWriter::Close() {
    m_file.Flush();
    m_file.Close();
    m_batch.clear();
}

void CRecordTimesWriter::Add(std::string_view text, bool packet, std::int64_t utcMs,
                             std::uint8_t packetType) {
    if (!m_file.IsOpen() || text.empty())
        return;
    const bool line = !packet && text.find('\n') == text.size() - 1;
    Put(line ? 0 : packet ? 1 : 2, text.size(), utcMs, packetType);
}

void CRecordTimesWriter::AddWhole(std::string_view bytes, std::int64_t utcMs) {
    if (m_file.IsOpen() && !bytes.empty())
        Put(3, bytes.size(), utcMs, 0);
}

void CRecordTimesWriter::Put(unsigned kind, std::size_t length, std::int64_t utcMs,
                             std::uint8_t packetType) {
    const auto delta = static_cast<std::int64_t>(static_cast<std::uint64_t>(utcMs) -
                                                 static_cast<std::uint64_t>(m_nLastUtcMs));
    PutVarint(m_batch, Zigzag(delta) << 2 | kind);
    if (kind != 0)
        PutVarint(m_batch, length);
    if (kind == 1)
        m_batch.push_back(static_cast<char>(packetType));
    m_nLastUtcMs = utcMs;
}

bool CRecordTimesWriter::WriteBatch() {
    if (!m_file.IsOpen()) {
        m_batch.clear();
        return false;
    }
    const bool ok = m_file.Write(m_batch);
    m_batch.clear();
    return ok;
}

bool CTimesDecoder::ReadHeader(std::string_view bytes) {
    if (bytes.size() < kTimesHeaderSize || std::memcmp(bytes.data(), kTimesMagic, 8) != 0)
        return false;
    std::uint64_t base = 0;
    for (int i = 0; i < 8; ++i)
        base |= std::uint64_t{static_cast<std::uint8_t>(bytes[8 + i])} << (8 * i);
    m_nBaseUtcMs = m_nLastUtcMs = static_cast<std::int64_t>(base);
    return true;
}

bool CTimesDecoder::Next(std::string_view bytes, std::size_t* at, Entry* entry) {
    std::size_t cursor = *at;
    std::uint64_t head = 0, length = 0;
    if (!GetVarint(bytes, &cursor, &head))
        return false;
    const unsigned kind = head & 3;
    if (kind != 0 && (!GetVarint(bytes, &cursor, &length) || length == 0))
        return false; // torn
    std::uint8_t type = 0;
    if (kind == 1) {
        if (cursor >= bytes.size())
            return false;
        type = static_cast<std::uint8_t>(bytes[cursor++]);
    }
    *at = cursor;
    const std::int64_t delta = Unzigzag(head >> 2);
    m_nLastUtcMs = static_cast<std::int64_t>(static_cast<std::uint64_t>(m_nLastUtcMs) +
                                             static_cast<std::uint64_t>(delta));
    entry->nDeltaMs = delta;
    entry->nLength = length;
    entry->bPacket = kind == 1;
    entry->bWhole = kind == 3;
    entry->nType = type;
    entry->nUtcMs = m_nLastUtcMs;
    return true;
}
