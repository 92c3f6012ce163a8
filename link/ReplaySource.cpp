#include "link/ReplaySource.h"

#include "link/NetSource.h"
#include "link/ReceiverMessage.h"
#include "link/RecordTimes.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {
constexpr std::size_t kMaxPacketData = 255; // a packet's length is one byte
} // namespace

std::vector<FurtherRecord> FurtherRecords(const std::string& firstRecordPath) {
    namespace fs = std::filesystem;
    std::vector<FurtherRecord> records;
    const fs::path first(firstRecordPath);
    if (first.extension() != ".txt")
        return records;
    const std::string prefix = first.stem().string() + "-";
    std::error_code error;
    const fs::path folder = first.has_parent_path() ? first.parent_path() : fs::path(".");
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        const std::string stem = path.stem().string();
        if (path.extension() != ".txt" || stem.size() <= prefix.size() ||
            stem.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string label = stem.substr(prefix.size());
        std::error_code ignored;
        if (IsSourceLabel(label) && it->is_regular_file(ignored) &&
            fs::is_regular_file(CRecordTimesWriter::PathFor(path.string()), ignored))
            records.push_back({label, path.string()});
    }
    std::sort(records.begin(), records.end(), [](const FurtherRecord& a, const FurtherRecord& b) {
        return a.strLabel < b.strLabel;
    });
    return records;
}

std::size_t CReplayClock::Join() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_members.emplace_back();
    return m_members.size() - 1;
}

void CReplayClock::SetNext(std::size_t member, std::int64_t utcMs) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_members[member].nNextUtcMs = utcMs;
}

void CReplayClock::SetEnded(std::size_t member, bool ended) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_members[member].bEnded = ended;
}

std::int64_t CReplayClock::EarliestOther(std::size_t member) const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::int64_t earliest = kEnd;
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        if (i != member)
            earliest = std::min(earliest, m_members[i].nNextUtcMs);
    }
    return earliest;
}

bool CReplayClock::OthersEnded(std::size_t member) const {
    std::lock_guard<std::mutex> guard(m_lock);
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        if (i != member && !m_members[i].bEnded)
            return false;
    }
    return true;
}

void CReplayClock::Unanchor() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_bAnchored = false;
}

void CReplayClock::Anchor(std::int64_t nowMs, std::int64_t heldUtcMs, std::int64_t* anchorMs,
                          std::int64_t* anchorUtcMs) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_bAnchored) {
        m_bAnchored = true;
        m_nAnchorMs = nowMs;
        m_nAnchorUtcMs = heldUtcMs;
        for (const Member& m : m_members)
            m_nAnchorUtcMs = std::min(m_nAnchorUtcMs, m.nNextUtcMs);
    }
    *anchorMs = m_nAnchorMs;
    *anchorUtcMs = m_nAnchorUtcMs;
}

void CReplayClock::SeekAll(std::size_t member, std::int64_t utcMs) {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_nSeekSerial;
    m_nSeekUtcMs = utcMs;
    m_bAnchored = false;
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        if (i == member)
            continue;
        // Until they have sought, the others' next messages are taken as
        // coming at that time: none of the seeker's later ones goes first.
        m_members[i].nNextUtcMs = utcMs;
        m_members[i].bEnded = false;
    }
    m_members[member].nSeekSerial = m_nSeekSerial;
}

bool CReplayClock::SeekDue(std::size_t member, std::int64_t* utcMs) {
    std::lock_guard<std::mutex> guard(m_lock);
    Member& m = m_members[member];
    if (m.nSeekSerial == m_nSeekSerial)
        return false;
    m.nSeekSerial = m_nSeekSerial;
    *utcMs = m_nSeekUtcMs;
    return true;
}

CReplaySource::CReplaySource(std::uint64_t checkpointEvery)
    : m_nCheckpointEvery(std::max<std::uint64_t>(1, checkpointEvery)),
      m_pClock(std::make_shared<CReplayClock>()), m_nMember(m_pClock->Join()) {}

bool CReplaySource::Open(const std::string& recordPath, std::string* error) {
    if (!m_reader.Open(recordPath, error))
        return false;
    m_timeSource = m_reader.TimeSource();
    m_strTimeNote = m_reader.TimeSourceNote();
    m_nLength = m_reader.Length();
    m_strPath = recordPath;
    m_checkpoints.assign(1, m_reader.Tell());
    ReadNext(); // its time known to the sources in step with it
    return true;
}

void CReplaySource::PlayInStepWith(CReplaySource& first) {
    m_pLeader = &first;
    m_pClock = first.m_pClock;
    m_nMember = m_pClock->Join();
    m_pClock->SetNext(m_nMember, m_bHeld ? m_held.nUtcMs : CReplayClock::kEnd);
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
    status.bFinished = status.bFinished && m_pClock->OthersEnded(m_nMember);
    return status;
}

bool CReplaySource::Paused() const {
    std::lock_guard<std::mutex> guard(m_lock);
    // Until a message comes after a pause or a seek, the values' ages are the
    // pause's, not the recording's: no "data lost" for them.
    return m_bPaused || (m_status.bFinished && m_pClock->OthersEnded(m_nMember)) || !m_bFresh;
}

bool CReplaySource::ReadNext() {
    const CRecordReader::Position at = m_reader.Tell();
    if (at.nIndex % m_nCheckpointEvery == 0 && at.nIndex > m_checkpoints.back().nIndex)
        m_checkpoints.push_back(at);
    RecordMessage message;
    if (!m_reader.Next(&message)) {
        m_pClock->SetNext(m_nMember, CReplayClock::kEnd);
        return false;
    }
    m_pClock->SetNext(m_nMember, message.nUtcMs);
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
    SeekFrom(after == m_checkpoints.begin() ? *after : *std::prev(after),
             [&] { return m_held.nOffset >= recordOffset; });
    m_last.nUtcMs = std::numeric_limits<std::int64_t>::min(); // nothing stepped to since
    // The sources in step with this one go to the time it reached.
    m_pClock->SeekAll(m_nMember, m_bHeld ? m_held.nUtcMs : CReplayClock::kEnd);
}

void CReplaySource::SeekTime(std::int64_t utcMs) {
    // The last checkpoint after a message received before that time.
    auto from = m_checkpoints.rbegin();
    while (std::next(from) != m_checkpoints.rend() && from->nLastUtcMs >= utcMs)
        ++from;
    SeekFrom(*from, [&] { return m_held.nUtcMs >= utcMs; });
}

void CReplaySource::SeekFrom(const CRecordReader::Position& from,
                             const std::function<bool()>& reached) {
    m_reader.Seek(from);
    m_bHeld = false;
    m_bDrained = false;
    bool finished = false;
    while (!finished && (!m_bHeld || !reached()))
        finished = !ReadNext();
    m_pClock->SetEnded(m_nMember, finished);
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
    bool reanchor;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_bSeek) {
            m_bSeek = false;
            const std::uint64_t offset = m_nSeekOffset;
            m_lock.unlock();
            Seek(offset);
            m_lock.lock();
            m_bJumped = true;
        }
        reanchor = m_bReanchor;
        m_bReanchor = false;
        speed = m_dSpeed;
        paused = m_bPaused;
        steps = m_nSteps;
        m_nSteps = 0;
    }
    if (m_pLeader) {
        // In step with the first: its speed and pause are this one's.
        std::lock_guard<std::mutex> guard(m_pLeader->m_lock);
        speed = m_pLeader->m_dSpeed;
        paused = m_pLeader->m_bPaused;
    }
    if (reanchor)
        m_pClock->Unanchor();
    // Another source in step with this one was sought: to the time it reached.
    if (std::int64_t utcMs = 0; m_pClock->SeekDue(m_nMember, &utcMs)) {
        SeekTime(utcMs);
        m_bJumped = true;
        std::lock_guard<std::mutex> guard(m_lock);
        m_bFresh = false;
    }
    // What was taken, as the replay's position; called with the take complete.
    const auto handOver = [&](std::int64_t next) {
        if (read.bytes.empty())
            return next;
        read.bAfterJump = m_bJumped;
        m_bJumped = false;
        std::lock_guard<std::mutex> guard(m_lock);
        m_status.nIndex = m_last.nIndex + 1;
        m_status.nOffset = m_last.nOffset;
        m_status.nUtcMs = m_last.nUtcMs;
        m_bFresh = true;
        return next;
    };
    if (paused && m_pLeader) {
        // What was received up to the first's last message, stepped to.
        while ((m_bHeld || ReadNext()) && m_held.nUtcMs <= m_pLeader->m_last.nUtcMs) {
            if (!read.bytes.empty() && read.bDatagrams != m_held.bWhole)
                return handOver(nowMs);
            Append(read, m_held);
            m_bHeld = false;
        }
        return handOver(-1);
    }
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
        m_pClock->SetEnded(m_nMember, true);
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
            std::int64_t anchorMs = 0, anchorUtcMs = 0;
            m_pClock->Anchor(nowMs, m_held.nUtcMs, &anchorMs, &anchorUtcMs);
            // Never early: a message is due at the first whole millisecond its
            // scaled time has reached.
            const double since = static_cast<double>(m_held.nUtcMs - anchorUtcMs) / speed;
            const std::int64_t dueMs =
                anchorMs + static_cast<std::int64_t>(std::ceil(std::max(0.0, since)));
            if (dueMs > nowMs)
                return handOver(dueMs);
        } else if (n == kFastestBatch) {
            return handOver(nowMs); // again at once, after the session's other work
        }
        // Due, but another source in step holds an earlier message: that one
        // first, taken in the same turn of the session's loop.
        if (m_held.nUtcMs > m_pClock->EarliestOther(m_nMember))
            return handOver(nowMs);
        Append(read, m_held);
        m_bHeld = false;
    }
}
