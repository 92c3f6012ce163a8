// A record file played back into an instrument session of its own, as the
// port would have delivered it: one more byte source (link/ByteSource.h),
// with a clock where the others have a descriptor.
//
// The messages come from CRecordReader with their receive times; a message
// is due when the replay's clock, anchored at the last start, resume, seek or
// change of speed, has run as far past the anchor as the recording did,
// divided by the speed. Whatever is due when the session's thread comes round
// goes to CInstrumentSession::Process in one block, so it is framed and
// interpreted exactly as a read from the port. As fast as possible, blocks of
// kFastestBatch messages follow one another with the session's other work in
// between. The replay is finished once the session has taken its last block.
//
// A raw capture (link/RawCapture.h) is played read by read, binary and noise
// included; a datagram source's reads are framed as datagrams, each ending
// whatever message it left unfinished, as the live session framed them.
//
// A packet's data bytes are framed again (the record keeps the data only, so
// the type byte is unknown: 0). Seeking starts from the nearest checkpoint
// (a reader position kept every few thousand messages as the replay reads)
// and reads forward.
//
// Control calls come from any thread and are carried out at the next take on
// the session's thread, which they wake. The session owns its replay source
// (CInstrumentSession::UseSource), so neither can outlive the other.
//
// A session recorded from several sources is replayed as several replay
// sources in one session, the further ones joined to the first's clock
// (PlayInStepWith): one start (the earliest first time among them), one
// anchor for every speed, and no message handed over while another source
// holds one recorded before it, so that the session sees the sources
// interleaved as they were received, as fast as possible as well. The first
// is the one steered: the others take its speed and pause, follow its seek
// to the time it reached, and while it is paused play what they received up
// to its last message, so that a single step of the first brings them along.
#pragma once

#include "link/ByteSource.h"
#include "link/InstrumentSession.h"
#include "link/RecordReader.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The records of further sources beside a session's first record
// "<stem>.txt": each "<stem>-<label>.txt" with a timing file of its own, its
// label a source label (link/NetSource.h), so beginning with a letter; the
// first record's next file of the same second ("<stem>-2.txt") is not one.
// In the order of their labels.
struct FurtherRecord {
    std::string strLabel;
    std::string strPath;
};
std::vector<FurtherRecord> FurtherRecords(const std::string& firstRecordPath);

// The time the replay sources of one session share; on the session's thread,
// but for whether they have all ended. Each source is a member.
class CReplayClock {
public:
    static constexpr std::int64_t kEnd = std::numeric_limits<std::int64_t>::max();

    std::size_t Join();
    // The receive time of the member's next message (kEnd: none), and
    // whether its last block has been taken in.
    void SetNext(std::size_t member, std::int64_t utcMs);
    void SetEnded(std::size_t member, bool ended);
    std::int64_t EarliestOther(std::size_t member) const;
    bool OthersEnded(std::size_t member) const;
    // The anchor, made at nowMs from the earliest next message of all (or
    // heldUtcMs) when there is none: after a start, resume, seek or change of
    // speed of any member.
    void Unanchor();
    void Anchor(std::int64_t nowMs, std::int64_t heldUtcMs, std::int64_t* anchorMs,
                std::int64_t* anchorUtcMs);
    // A seek of one member: the others go to utcMs at their next take.
    void SeekAll(std::size_t member, std::int64_t utcMs);
    bool SeekDue(std::size_t member, std::int64_t* utcMs);

private:
    struct Member {
        std::int64_t nNextUtcMs = kEnd;
        bool bEnded = false;
        std::uint64_t nSeekSerial = 0;
    };
    mutable std::mutex m_lock;
    std::vector<Member> m_members;
    bool m_bAnchored = false;
    std::int64_t m_nAnchorMs = 0;
    std::int64_t m_nAnchorUtcMs = 0;
    std::uint64_t m_nSeekSerial = 0;
    std::int64_t m_nSeekUtcMs = 0;
};

class CReplaySource final : public IByteSource {
public:
    static constexpr double kFastest = 0; // the speed of "as fast as possible"
    static constexpr std::uint64_t kCheckpointEvery = 4096;
    static constexpr std::size_t kFastestBatch = 65536;

    explicit CReplaySource(std::uint64_t checkpointEvery = kCheckpointEvery);

    // Opens the record (and its timing file); false and *error in the user's
    // language when it cannot be read.
    bool Open(const std::string& recordPath, std::string* error);
    RecordTimeSource TimeSource() const { return m_timeSource; }
    // Why the record's timing file (or clock sentences) were left aside; empty when not.
    const std::string& TimeSourceNote() const { return m_strTimeNote; }
    std::uint64_t Length() const { return m_nLength; }
    // Plays in step with first, a further source of the same session: its
    // clock and its controls from now on (this one's own are not used).
    // After both are opened, before the session starts.
    void PlayInStepWith(CReplaySource& first);

    // Control; any thread.
    void SetSpeed(double speed); // kFastest, or a factor such as 0.25 or 10
    void SetPaused(bool paused);
    void Step(); // one message, and stay paused
    void SeekTo(std::uint64_t recordOffset);

    // Where the replay stands: the last message handed to the session.
    struct Status {
        std::uint64_t nIndex = 0;  // messages handed over, counted from the record's start
        std::uint64_t nOffset = 0; // the record's bytes up to the end of the last message
        std::int64_t nUtcMs = 0;   // its receive time; 0 before the first
        double dSpeed = 1;
        bool bPaused = false;
        bool bFinished = false; // and every source in step with it too
    };
    Status CurrentStatus() const;

    // Hands what is due at nowMs (SteadyMs) to session, as its thread does;
    // returns when something is due next, -1 for not before a control call.
    // For driving a replay without the session's thread.
    std::int64_t Pump(CInstrumentSession& session, std::int64_t nowMs);

    // The source, on the session's thread.
    LinkState State(LinkState::Kind kind) const override;
    bool Open(LinkState* state) override;
    void Close() override {}
    bool Take(short revents, SourceRead& read, LinkState* lost) override;
    bool IsConnected() const override { return true; }
    bool CanAnswer() const override { return false; } // nobody to answer
    void Answer(const std::uint8_t*, std::size_t) override {}
    std::int64_t TakeAtMs() const override { return m_nTakeAtMs; }
    bool Paused() const override;
    void AttachedTo(std::function<void()> wake) override { m_wake = std::move(wake); }

private:
    struct Held {
        std::string bytes;
        bool bPacket = false;
        bool bWhole = false;    // a datagram of a raw capture
        std::uint8_t nType = 0; // the packet's type, as the timing file keeps it
        std::int64_t nUtcMs = 0;
        std::uint64_t nOffset = 0;
        std::uint64_t nIndex = 0;
    };
    bool ReadNext();
    void Seek(std::uint64_t recordOffset);
    // To the first message received at utcMs or later.
    void SeekTime(std::int64_t utcMs);
    void SeekFrom(const CRecordReader::Position& from, const std::function<bool()>& reached);
    // What is due at nowMs into read; when something is due next.
    std::int64_t TakeDue(std::int64_t nowMs, SourceRead& read);
    void Append(SourceRead& read, const Held& message);
    void Wake();

    CRecordReader m_reader;
    RecordTimeSource m_timeSource = RecordTimeSource::None;
    std::string m_strTimeNote;
    std::uint64_t m_nLength = 0;
    std::string m_strPath;
    std::function<void()> m_wake; // the session's

    // Session thread only.
    const std::uint64_t m_nCheckpointEvery;
    std::vector<CRecordReader::Position> m_checkpoints; // every m_nCheckpointEvery messages
    Held m_held;                                        // read, not yet due
    bool m_bHeld = false;
    CReplaySource* m_pLeader = nullptr;     // the first, for a source in step with it
    std::shared_ptr<CReplayClock> m_pClock; // the anchor, its own or the first's
    std::size_t m_nMember = 0;              // in m_pClock
    std::int64_t m_nTakeAtMs = 0;           // when something is due next; -1: at a control call
    bool m_bDrained = false; // the last block was handed over: finished at the next take
    Held m_last;             // the last message added to a take
    bool m_bJumped = false;  // sought since the last take handed over
    SourceRead m_pumped;     // Pump's

    // Control, under m_lock.
    mutable std::mutex m_lock;
    double m_dSpeed = 1;
    bool m_bPaused = false;
    int m_nSteps = 0;
    bool m_bSeek = false;
    std::uint64_t m_nSeekOffset = 0;
    bool m_bReanchor = false;
    Status m_status;
    bool m_bFresh = false; // a message has come since the last start, resume or seek
};
