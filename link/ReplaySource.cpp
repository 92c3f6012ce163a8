#include "link/ReplaySource.h"

#include "link/ReceiverMessage.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr std::size_t kMaxPacketData = 255; // a packet's length is one byte
} // namespace

CReplaySource::CReplaySource(std::uint64_t checkpointEvery)
    : m_nCheckpointEvery(std::max<std::uint64_t>(1, checkpointEvery)) {}

bool CReplaySource::Open(const std::string& recordPath, std::string* error) {
    if (!m_reader.Open(recordPath, error))
        return false;
    m_timeSource = m_reader.TimeSource();
    m_strTimeNote = m_reader.TimeSourceNote();
    m_nLength = m_reader.Length();
    m_strPath = recordPath;
    m_checkpoints.assign(1, m_reader.Tell());
    return true;
}

LinkState CReplaySource::State(LinkState::Kind kind) const {
    LinkState state;
    state.kind = kind;
    state.strSource = m_strPath;
    return state;
}

bool CReplaySource::Open(LinkState* state) {
    *state = State(LinkState::Kind::Connected);
    return true;
}

void CReplaySource::Wake() {
    if (m_wake)
        m_wake();
}

void CReplaySource::SetSpeed(double speed) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_dSpeed = std::max(0.0, speed);
        m_bReanchor = true;
    }
    Wake();
}

void CReplaySource::SetPaused(bool paused) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_bPaused == paused)
            return;
        m_bPaused = paused;
        m_bReanchor = true;
        m_bFresh = false;
    }
    Wake();
}

void CReplaySource::Step() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bPaused = true;
        ++m_nSteps;
    }
    Wake();
}

void CReplaySource::SeekTo(std::uint64_t recordOffset) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bSeek = true;
        m_nSeekOffset = recordOffset;
        m_bReanchor = true;
        m_bFresh = false;
    }
    Wake();
}

CReplaySource::Status CReplaySource::CurrentStatus() const {
    std::lock_guard<std::mutex> guard(m_lock);
    Status status = m_status;
    status.dSpeed = m_dSpeed;
    status.bPaused = m_bPaused;
    return status;
}

bool CReplaySource::Paused() const {
    std::lock_guard<std::mutex> guard(m_lock);
    // Until a message comes after a pause or a seek, the values' ages are the
    // pause's, not the recording's: no "data lost" for them.
    return m_bPaused || m_status.bFinished || !m_bFresh;
}

bool CReplaySource::ReadNext() {
    const CRecordReader::Position at = m_reader.Tell();
    if (at.nIndex % m_nCheckpointEvery == 0 && at.nIndex > m_checkpoints.back().nIndex)
        m_checkpoints.push_back(at);
    RecordMessage message;
    if (!m_reader.Next(&message))
        return false;
    m_held.bytes.assign(message.bytes);
    m_held.bPacket = message.bPacket;
    m_held.bWhole = message.bWhole;
    m_held.nType = message.nType;
    m_held.nUtcMs = message.nUtcMs;
    m_held.nOffset = message.nOffset;
    m_held.nIndex = message.nIndex;
    m_bHeld = true;
    return true;
}

void CReplaySource::Seek(std::uint64_t recordOffset) {
    // The last checkpoint at or before the offset, then forward to the first
    // message that begins there or later.
    auto after = std::upper_bound(m_checkpoints.begin(), m_checkpoints.end(), recordOffset,
                                  [](std::uint64_t offset, const CRecordReader::Position& p) {
                                      return offset < p.nRecordOffset;
                                  });
    m_reader.Seek(after == m_checkpoints.begin() ? *after : *std::prev(after));
    m_bHeld = false;
    m_bDrained = false;
    bool finished = false;
    while (!finished && (!m_bHeld || m_held.nOffset < recordOffset))
        finished = !ReadNext();
    std::lock_guard<std::mutex> guard(m_lock);
    m_status.bFinished = finished;
    if (m_bHeld) {
        m_status.nIndex = m_held.nIndex;
        m_status.nOffset = m_held.nOffset;
        m_status.nUtcMs = m_held.nUtcMs;
    }
}

void CReplaySource::Append(SourceRead& read, const Held& message) {
    const std::string_view bytes = message.bytes;
    auto& out = read.bytes;
    if (read.bytes.empty())
        read.bDatagrams = message.bWhole;
    if (message.bWhole) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        read.ends.push_back(out.size());
    } else if (!message.bPacket || bytes.size() > kMaxPacketData) {
        out.insert(out.end(), bytes.begin(), bytes.end());
    } else {
        // STX, header, type, length, data, checksum (of all four), ETX.
        const std::uint8_t head[] = {CReceiverMessage::STX, 0, message.nType,
                                     static_cast<std::uint8_t>(bytes.size())};
        const std::size_t start = out.size();
        out.insert(out.end(), std::begin(head), std::end(head));
        out.insert(out.end(), bytes.begin(), bytes.end());
        out.push_back(
            CReceiverMessage::SumBytes(out.data() + start + 1, static_cast<int>(bytes.size() + 3)));
        out.push_back(CReceiverMessage::ETX);
    }
    m_last.nIndex = message.nIndex;
    m_last.nOffset = message.nOffset + bytes.size();
    m_last.nUtcMs = message.nUtcMs;
}

bool CReplaySource::Take(short /*revents*/, SourceRead& read, LinkState* /*lost*/) {
    m_nTakeAtMs = TakeDue(SteadyMs(), read);
    return true;
}

std::int64_t CReplaySource::Pump(CInstrumentSession& session, std::int64_t nowMs) {
    m_pumped.Clear();
    m_nTakeAtMs = TakeDue(nowMs, m_pumped);
    session.ProcessRead(m_pumped, nowMs);
    if (m_bDrained) // taken in: finished now, not at the next take
        m_nTakeAtMs = TakeDue(nowMs, m_pumped);
    return m_nTakeAtMs;
}

std::int64_t CReplaySource::TakeDue(std::int64_t nowMs, SourceRead& read) {
    read.bDatagrams = false;
    double speed;
    bool paused;
    int steps;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_bSeek) {
            m_bSeek = false;
            const std::uint64_t offset = m_nSeekOffset;
            m_lock.unlock();
            Seek(offset);
            m_lock.lock();
        }
        if (m_bReanchor)
            m_bAnchored = false;
        m_bReanchor = false;
        speed = m_dSpeed;
        paused = m_bPaused;
        steps = m_nSteps;
        m_nSteps = 0;
    }
    // What was taken, as the replay's position; called with the take complete.
    const auto handOver = [&](std::int64_t next) {
        if (read.bytes.empty())
            return next;
        std::lock_guard<std::mutex> guard(m_lock);
        m_status.nIndex = m_last.nIndex + 1;
        m_status.nOffset = m_last.nOffset;
        m_status.nUtcMs = m_last.nUtcMs;
        m_bFresh = true;
        return next;
    };
    if (paused) {
        for (; steps > 0 && (m_bHeld || ReadNext()); --steps) {
            if (!read.bytes.empty() && read.bDatagrams != m_held.bWhole) {
                std::lock_guard<std::mutex> guard(m_lock);
                m_nSteps += steps; // the rest in a take of their own
                break;
            }
            Append(read, m_held);
            m_bHeld = false;
        }
        return handOver(steps > 0 ? nowMs : -1);
    }
    if (m_bDrained) {
        // The session has taken the last block: now the replay is finished.
        m_bDrained = false;
        std::lock_guard<std::mutex> guard(m_lock);
        m_status.bFinished = true;
        return -1;
    }
    for (std::size_t n = 0;; ++n) {
        if (!m_bHeld && !ReadNext()) {
            m_bDrained = true;
            return handOver(nowMs);
        }
        // A take is datagrams or a stream, never both.
        if (!read.bytes.empty() && read.bDatagrams != m_held.bWhole)
            return handOver(nowMs);
        if (speed > kFastest) {
            if (!m_bAnchored) {
                m_bAnchored = true;
                m_nAnchorMs = nowMs;
                m_nAnchorUtcMs = m_held.nUtcMs;
            }
            // Never early: a message is due at the first whole millisecond its
            // scaled time has reached.
            const double since = static_cast<double>(m_held.nUtcMs - m_nAnchorUtcMs) / speed;
            const std::int64_t dueMs =
                m_nAnchorMs + static_cast<std::int64_t>(std::ceil(std::max(0.0, since)));
            if (dueMs > nowMs)
                return handOver(dueMs);
        } else if (n == kFastestBatch) {
            return handOver(nowMs); // again at once, after the session's other work
        }
        Append(read, m_held);
        m_bHeld = false;
    }
}
