// The session's recorder: the record file with its timing file and raw
// capture, and the event log beside them. It makes the record (and tries
// again, every few seconds, when its folder cannot be used yet), writes each
// read's messages and bytes, keeps what a full disk refuses, makes a deleted
// file again, and says so: each change of its state goes to the event log and
// to the session's listener. Any thread may read its state and log a line;
// writing is the session thread's.
#pragma once

#include "link/EventLog.h"
#include "link/RawCapture.h"
#include "link/RecordFile.h"
#include "link/RecordTimes.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct RecordState {
    enum class Kind {
        None,
        Open,
        CreateFailed, // tried again every CSessionRecorder::kRetryMs
        StartedLate,  // the folder became usable: recording starts now
        WriteFailing,
        Resumed,
        Recreated,
        RecreateFailed
    };
    Kind kind = Kind::None;
    std::string strPath;     // the file in use, or the one that could not be made
    std::string strOldPath;  // Recreated, RecreateFailed: the file that was deleted
    std::string strError;    // CreateFailed, RecreateFailed: the system's reason
    int nError = 0;          // WriteFailing: errno
    std::int64_t nGapMs = 0; // StartedLate: how long nothing was recorded
};

// Where the parts of a session write what happened (link/EventLog.h).
class IEventSink {
public:
    virtual ~IEventSink() = default;
    virtual void Log(std::string_view subject, std::string_view event, std::string_view value = {},
                     std::string_view limit = {}) = 0;
};

class CSessionRecorder final : public IEventSink {
public:
    static constexpr std::int64_t kRetryMs = 5000; // a record folder not usable yet

    // changed: the state moved (on the thread that moved it; must only queue a notice).
    // With events, the record keeps no event log of its own: its lines go
    // there, their subjects as "<label>/<subject>".
    explicit CSessionRecorder(std::function<void()> changed, IEventSink* events = nullptr,
                              std::string label = {});
    CSessionRecorder(const CSessionRecorder&) = delete;
    CSessionRecorder& operator=(const CSessionRecorder&) = delete;

    // The record file, created exclusively in folder and named for `when`.
    // When the folder cannot be used (a USB disk or a share that comes late)
    // Check tries again every kRetryMs, the event log keeping its lines, and
    // the record is named for the time it starts.
    bool CreateRecord(const std::string& folder, const std::tm& when, std::string* error);
    // The record file at path, which must not exist yet.
    bool CreateRecordAt(const std::string& path, std::string* error);
    // Records into path from now on (created, or emptied). Bytes a failed
    // write left go there first.
    bool ReplaceRecord(const std::string& path, std::string* error);
    void SetRetryMs(std::int64_t ms) { m_nRetryMs = ms; }
    // Whether records get a raw capture beside them; on unless switched off
    // before the record is made.
    void SetRawCapture(bool on) { m_bRawCapture = on; }
    // How much a full disk may hold back in memory before reads are dropped.
    void SetBacklogLimit(std::size_t bytes);

    // One read: its bytes as read, in parts ending at ends[0..parts) (wholes:
    // datagrams), then the texts of its messages, each message's length << 9
    // | packet type << 1 | packet in lengths.
    void Write(const std::uint8_t* bytes, const std::size_t* ends, std::size_t parts, bool wholes,
               std::string_view texts, const std::vector<std::size_t>& lengths, std::int64_t utcMs);
    // Every second or so: a folder that came, a file deleted, space that came back.
    void Check();
    // Writes what is held and closes the files (the event log stays).
    void CloseRecord();

    // A line in the event log; a session that never made a record (a
    // replay) has none. Any thread.
    void Log(std::string_view subject, std::string_view event, std::string_view value = {},
             std::string_view limit = {}) override;
    // Every line of the event log also goes to fd (a service's standard
    // error, the journal), whether or not a log is kept; -1: nowhere.
    void EchoTo(int fd);

    // Any thread.
    RecordState State() const;
    std::string Path() const;
    std::string EventLogPath() const;
    // The event log's last lines (without their ends), oldest first.
    static constexpr std::size_t kRecentEvents = 20;
    std::vector<std::string> RecentEvents() const;
    std::string RawCapturePath() const;
    // Bytes the record had to leave out: a full disk past the backlog's limit.
    std::uint64_t DroppedBytes() const { return m_nDropped.load(); }

private:
    void SetState(const RecordState& state);
    void RetryLocked();
    void RecreateLocked();
    void OpenBesideLocked(); // the timing file, raw capture and event log of the record in use
    void OpenedLocked();     // a record just made or replaced: its state, the files beside it
    void LogDropsLocked();

    std::function<void()> m_changed;
    IEventSink* m_pForward = nullptr; // where the lines go instead of a log of its own
    std::string m_strLabel;
    std::atomic<bool> m_bKeepsLog{false}; // a record was made, or is tried
    std::atomic<int> m_nEchoFd{-1};
    std::atomic<bool> m_bEchoSocket{false};
    std::atomic<std::uint64_t> m_nDropped{0};

    mutable std::mutex m_lock; // the files, held while they are written
    CRecordFile m_record;
    CRecordTimesWriter m_times;
    CRawCapture m_raw;
    bool m_bRawCapture = true;
    bool m_bWriteFailing = false;
    std::size_t m_nDroppedLogged = 0;
    std::string m_strRetryFolder;       // a folder that could not be used yet
    std::int64_t m_nRetryFromUtcMs = 0; // since when nothing is recorded
    std::int64_t m_nRetryAtUtcMs = 0;
    std::int64_t m_nRetryMs = kRetryMs;

    mutable std::mutex m_eventLock;
    CEventLog m_events;
    std::deque<std::string> m_recent; // the last kRecentEvents lines

    mutable std::mutex m_stateLock; // what the window reads, never waiting for the disk
    RecordState m_state;
    std::string m_strPath;
};
