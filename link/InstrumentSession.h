// The instrument session: the serial port and its reconnection, the framer,
// the interpretation of every message, the record file with its timing file
// and the answer to 'n' packets, all on a thread of its own.
//
// Data flows one way: port -> framer -> session (record, interpretation,
// alarm test) -> window. The window never sits between the line and the
// record: a window that stalls for any length of time leaves the record
// complete, and afterwards takes the messages that waited for it (queued,
// nothing dropped below a large cap) and draws the newest state.
//
// The session's thread sleeps in poll() on one eventfd: the port's watch
// thread wakes it after every read, the window wakes it for a command; the
// timeouts are the reconnect attempt, the delayed answer to 'n' and the
// record check. A network source (TCP, UDP, gpsd) and the server sharing the
// received lines are non-blocking sockets in the same poll.
#pragma once

#include "link/AlarmWatcher.h"
#include "link/ByteSource.h"
#include "link/HeadingCompare.h"
#include "link/MessageCounts.h"
#include "link/MessageQueue.h"
#include "link/MonitorState.h"
#include "link/ReceiverMessage.h"
#include "link/SessionRecorder.h"
#include "link/SessionSharing.h"
#include "link/SourceChoice.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

class ISessionListener {
public:
    virtual ~ISessionListener() = default;
    // On the session's thread: messages wait, or the link or record changed.
    // Must only queue a notice; the window then takes what is new. Calls come
    // often and may be folded together.
    virtual void SessionChanged() = 0;
    // A driver failure, fully composed, for a box captioned "Application
    // Error". On any thread; must only queue it.
    virtual void SessionError(const std::string& text) = 0;
};

// How the data is arriving, for the data-health window.
struct SessionHealth {
    CMessageCounts types;
    std::uint64_t nBadPackets = 0;     // dropped for a bad checksum
    std::uint64_t nOverlongLines = 0;  // recorded in pieces
    std::uint64_t nDroppedBytes = 0;   // left out of the window's queue (recorded all the same)
    std::uint64_t nReconnects = 0;     // connections after the first
    std::uint64_t nDatagramsLost = 0;  // UDP: dropped by the system, its receive buffer full
    std::uint64_t nOtherDatagrams = 0; // with a 450 header of no text (RaUdP…): recorded, not read
    CUdpSenders senders;               // UDP: who sent the datagrams, and who was refused
    LinkState link;
    std::string strRecordPath;
};

// One of the session's sources as the window shows it.
struct SourceStatus {
    std::string strLabel;
    LinkState link;
    std::string strRecordPath;           // its own record (the first's is the session's)
    SourceReading readings[kQuantities]; // what it said last, and whether it is believed
};

// A switch of the source the displays show, as announced.
struct SourceSwitchNotice {
    Quantity quantity = Quantity::Heading;
    std::string strFrom, strTo;
    bool bFailback = false;
    std::uint64_t nSerial = 0; // counts the switches; 0: none yet
};

// Two heading sources compared, for the window.
struct HeadingPairStatus {
    std::string strA, strB;                      // the sources' labels
    bool bMagneticA = false, bMagneticB = false; // the heading a magnetic compass implies
    double dDelta = 0;
    bool bFresh = false;
    double dLimit = 0;
    AlertState state = AlertState::Normal;
};

class CInstrumentSession final {
public:
    static constexpr std::int64_t kAnswerDelayMs = 300; // after an 'n' packet
    static constexpr std::int64_t kRecordCheckMs = 1000;
    static constexpr std::int64_t kRecordRetryMs = CSessionRecorder::kRetryMs;
    static constexpr std::int64_t kAlarmTickMs = 100; // delays, silences, values going stale

    // A live session records, logs its events and can share what it
    // receives; a replay's session does none of that: it frames, interprets,
    // alarms and queues what its source gives.
    enum class Role { Live, Replay };

    explicit CInstrumentSession(ISessionListener* listener = nullptr, Role role = Role::Live);
    ~CInstrumentSession();
    CInstrumentSession(const CInstrumentSession&) = delete;
    CInstrumentSession& operator=(const CInstrumentSession&) = delete;

    // The record file, created exclusively in folder and named for `when`.
    // Before Start(). When the folder cannot be used (a USB disk or a share
    // that comes late) the session tries again every kRecordRetryMs, keeping
    // the event log's lines, and the record is named for the time it starts.
    bool CreateRecord(const std::string& folder, const std::tm& when, std::string* error);
    void SetRecordRetryMs(std::int64_t ms) {
        if (m_pRecorder)
            m_pRecorder->SetRetryMs(ms);
    }
    // Starts the thread, which opens the port given to UsePort.
    void Start();
    // The input from the start (before Start): a replay's source, say. The
    // session owns it: it is destroyed after the session's thread has ended,
    // and the reference stays valid as long as the session.
    template <class Source> Source& UseSource(std::unique_ptr<Source> source) {
        Source& kept = *source;
        AdoptInput(std::move(source));
        return kept;
    }
    // A further source beside the first, read from the start (before Start
    // and before CreateRecord): framed apart from the others, recorded beside
    // the first's record as "<stem>-<label>.txt" with its own timing file and
    // raw capture, its 'n' packets answered on it. Per quantity the displays
    // show the first source in the priority list whose value is valid and
    // fresh (link/SourceChoice.h); every pair of heading sources is compared
    // (link/HeadingCompare.h). label: an IsSourceLabel (link/NetSource.h).
    void AddSource(const std::string& label, const SourceAddress& address);
    // The same with the further source's input given: a record played back
    // beside the first's (link/ReplaySource.h), say. The session owns it as it
    // owns the first's (UseSource).
    void AddSource(const std::string& label, std::unique_ptr<IByteSource> input);
    // The first source's name in announcements; its port or URL by default.
    void SetFirstSourceLabel(const std::string& label);
    std::size_t SourceCount() const { return m_inputs.size(); }
    // The sources in the order to prefer them for a quantity (indexes into
    // the sources); before Start.
    void SetSourcePriority(Quantity quantity, const std::vector<int>& order);
    void SetSourceChoiceSettings(const SourceChoiceSettings& settings);
    void SetHeadingCompareSettings(const HeadingCompareSettings& settings);
    void SetCourseCheckSettings(const CourseCheckSettings& settings);
    // Any thread.
    std::vector<SourceStatus> Sources() const;
    // The label of the source the displays show for a quantity; empty while
    // none was valid yet or when there is one source.
    std::string ChosenSource(Quantity quantity) const;
    SourceSwitchNotice LastSwitch() const;
    std::vector<HeadingPairStatus> HeadingPairs() const;
    // The differences of pair i (as HeadingPairs() lists them) over the last
    // minutes, oldest first.
    std::vector<CHeadingCompare::DeltaPoint> HeadingDeltas(std::size_t i) const;
    // The heading shown against the course over ground shown.
    CourseCheck Course() const;

    // Port number `port` on `device` from now on, closing the one in use; an
    // empty device means none. Carried out on the session's thread.
    void UsePort(unsigned port, const std::string& device);
    // The source from now on: a serial device goes as UsePort does (with the
    // port number in use), a network source is connected (TCP, gpsd) or bound
    // (UDP) and reconnected after a loss. Carried out on the session's thread.
    void UseSourceAddress(const SourceAddress& address);
    // Shares every received text line with the clients of a TCP server on
    // host:port, or as datagrams to host:port (in the form output says).
    // Before Start().
    bool Serve(const std::string& host, unsigned port, std::string* error);
    bool ServeUdp(const std::string& host, unsigned port, std::string* error,
                  const UdpOutput& output = {});
    unsigned ServePort() const { return Serving().nPort; }
    // The sharing from now on: started, moved or stopped on the session's
    // thread without a byte of reception lost. What cannot be done leaves the
    // sharing as it was; the future gives the reason, or an empty text.
    std::future<std::string> ServeAt(const ServeTarget& target);
    // How many clients, how much queued for them, how many descriptors kept
    // free (ServeLimits); carried out on the session's thread.
    void SetServeLimits(const ServeLimits& limits);
    // Any thread.
    ServeState Serving() const { return m_pSharing ? m_pSharing->State() : ServeState{}; }
    // Records into path from now on (created, or emptied: only for a file the
    // operator agreed to replace). Bytes a failed write left go there first.
    bool ReplaceRecord(const std::string& path, std::string* error);

    // What the window reads; any thread.
    CMonitorState& Monitor() { return m_monitor; }
    const CMonitorState& Monitor() const { return m_monitor; }
    LinkState Link() const;
    RecordState Record() const { return m_pRecorder ? m_pRecorder->State() : RecordState{}; }
    std::string RecordPath() const { return m_pRecorder ? m_pRecorder->Path() : std::string(); }
    bool IsConnected() const { return Link().kind == LinkState::Kind::Connected; }
    // The alarms (pitch, roll, data lost). Acknowledge and silence act on
    // every alarm that can take them; carried out on the session's thread.
    // origin: who asked, in the event log's lines in place of the value
    // ("web 192.168.1.20"); empty for the window's operator.
    AlarmStates Alarms() const { return m_alarms.States(); }
    void AcknowledgeAlarms(std::string origin = {});
    void SilenceAlarms(std::string origin = {});
    void SetAlertSettings(const AlertSettings& settings);
    // The event log's last lines, oldest first (link/SessionRecorder.h).
    std::vector<std::string> RecentEvents() const {
        return m_pRecorder ? m_pRecorder->RecentEvents() : std::vector<std::string>();
    }
    // The event log beside the record file.
    std::string EventLogPath() const {
        return m_pRecorder ? m_pRecorder->EventLogPath() : std::string();
    }

    // Milliseconds (SteadyMs) when bytes last arrived; -1 before the first.
    std::int64_t LastByteMs() const { return m_nLastByteMs.load(); }
    // Every framed message not yet taken, encoded (CMessageQueue::CReader).
    std::string TakeMessages() { return m_queue.TakeAll(); }
    CMessageQueue& Queue() { return m_queue; }
    std::uint64_t MessagesFramed() const { return m_nMessages.load(); }
    // A line in the event log beside the record (any thread).
    // The event log's lines also to fd (a service's standard error); -1: not.
    void EchoEvents(int fd) {
        if (m_pRecorder)
            m_pRecorder->EchoTo(fd);
    }
    void LogEvent(std::string_view subject, std::string_view event, std::string_view value = {}) {
        Log(subject, event, value);
    }
    // Whether records get a raw capture beside them (link/RawCapture.h); on
    // unless switched off before the record is made.
    void SetRawCapture(bool on) {
        if (m_pRecorder)
            m_pRecorder->SetRawCapture(on);
    }
    std::string RawCapturePath() const {
        return m_pRecorder ? m_pRecorder->RawCapturePath() : std::string();
    }
    // Bytes the record had to leave out: a full disk past the backlog's limit.
    std::uint64_t RecordDroppedBytes() const {
        return m_pRecorder ? m_pRecorder->DroppedBytes() : 0;
    }
    // How much a full disk may hold back in memory before messages are dropped.
    void SetRecordBacklogLimit(std::size_t bytes) {
        if (m_pRecorder)
            m_pRecorder->SetBacklogLimit(bytes);
    }
    // How often the session's thread came out of its wait: a thread that
    // spins shows here.
    std::uint64_t Wakeups() const { return m_nWakeups.load(); }
    // Messages cut short when the port went away, dropped at the reopen.
    std::uint64_t PartialMessages() const { return m_nPartialMessages.load(); }
    // A copy of the counts per message type and the totals; any thread. The
    // lock it takes is held by the session's thread while it frames one read.
    SessionHealth Health() const;

    // What the thread does with each read: frames, interprets, records and
    // queues. Public so that benchmarks and tests can drive it without a port;
    // only one thread may call it at a time, and not while the session runs.
    void Process(const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs);
    // Process on bytes in parts ending at ends[0..parts); with wholes, each
    // part is a whole (a datagram) whose end ends its last message, and whose
    // 61162-450 header (link/Udp450.h) is left out of the framing.
    void ProcessParts(const std::uint8_t* bytes, const std::size_t* ends, std::size_t parts,
                      bool wholes, std::int64_t nowMs);
    // Process on what a source's take brought.
    void ProcessRead(const SourceRead& read, std::int64_t nowMs);

private:
    // One source: its input, framer and link; for a further source, its own
    // record files.
    struct Input {
        std::string strLabel;
        std::unique_ptr<IByteSource> pInput; // none: no device; destroyed only after m_thread ends
        CReceiverMessage framer;
        unsigned nPort = 0; // the serial port's number
        SourceRead read;
        std::int64_t nReconnectAtMs = -1; // -1: no attempt due
        std::deque<std::int64_t> answersAtMs;
        bool bLinkLost = false;
        std::uint64_t nLostLogged = 0;               // of the datagrams lost
        std::int64_t nLostLoggedAtMs = -1;           // at most a line a second
        std::unique_ptr<CSessionRecorder> pRecorder; // further sources only
        std::string recordBatch;                     // further sources only
        std::vector<std::size_t> timesBatch;         // further sources only
        // Under m_linkLock.
        LinkState link;
        std::uint64_t nConnections = 0;
        // Under m_healthLock.
        SourceCounts counts;
        std::uint64_t nOtherDatagrams = 0;
    };

    void Run();
    void Wake();
    void Notify();
    void RunCommands();
    // An input: a serial port drained as its watch thread wakes us, a
    // polled source read when poll says so; lost, it is opened again later.
    void DrainInput(Input& in);
    void CloseInput(Input& in);
    void OnInputReady(Input& in, short revents);
    void LoseInput(Input& in, const LinkState& lost);
    void UseInput(Input& in, std::unique_ptr<IByteSource> input);
    std::unique_ptr<IByteSource> SerialInput(unsigned port, const std::string& device);
    void ReportError(const std::string& text);
    void TryOpen(Input& in, std::int64_t nowMs);
    void SetLink(Input& in, const LinkState& state);
    void AnswerDue(Input& in, std::int64_t nowMs);
    void AdoptInput(std::unique_ptr<IByteSource> input);
    void ProcessInput(Input& in, const std::uint8_t* bytes, const std::size_t* ends,
                      std::size_t parts, bool wholes, std::int64_t nowMs);
    void ProcessReadOf(Input& in, const SourceRead& read, std::int64_t nowMs);
    // The quantities a reading of source i may move on the displays, after
    // the choice and the comparison have seen it.
    unsigned Choose(std::size_t i, const SentenceReading& reading, std::int64_t nowMs);
    // Switches and comparison alarms into the event log; true when the
    // window should hear of it.
    bool Announce(std::int64_t nowMs, std::string_view origin = {});
    // Further sources' records beside the first's, once it has one.
    void CreateFurtherRecords();
    std::string LabelOf(int source) const;
    // Where a replay's events go: nowhere.
    static IEventSink& NoEvents();
    // The inputs and the server, in the thread's poll beside its eventfd.
    void PollSources(int timeoutMs);
    // As time passes: the lines of the event log that wait for it.
    void TickSources(std::int64_t nowMs);
    void LogDatagramsLost(Input& in, std::int64_t nowMs);
    // Runs command on the session's thread (at once while it is not running).
    void RunOnThread(std::function<void()> command);
    void Log(std::string_view subject, std::string_view event, std::string_view value = {},
             std::string_view limit = {}) {
        if (m_pRecorder)
            m_pRecorder->Log(subject, event, value, limit);
    }

    ISessionListener* m_pListener;
    CMonitorState m_monitor;
    CMessageQueue m_queue;
    std::unique_ptr<CSessionRecorder> m_pRecorder; // none for a replay
    CAlarmWatcher m_alarms;
    std::unique_ptr<CSessionSharing> m_pSharing; // none for a replay

    // Session thread only.
    std::vector<std::unique_ptr<Input>> m_inputs; // the first always there
    CCommandBuilder m_commandBuilder;
    SentenceReading m_reading; // of the message being framed
    std::int64_t m_nRecordCheckAtMs = 0;
    std::string m_recordBatch;             // the texts of one read's messages
    std::string m_queueBatch;              // the same messages, encoded for the window
    std::vector<std::size_t> m_timesBatch; // length << 9 | packet type << 1 | packet
    std::vector<pollfd> m_pollFds;
    std::vector<Input*> m_polledInputs; // whose descriptors follow the eventfd in m_pollFds
    std::int64_t m_nAlarmTickAtMs = 0;
    std::uint64_t m_nDroppedLogged = 0;
    CSourceChoice m_choice;
    CHeadingCompare m_compare;
    CourseCheckSettings m_courseSettings;
    bool m_bCourseSuspect = false; // as last logged

    std::thread m_thread;
    int m_fdWake = -1;
    std::atomic<bool> m_bStop{false};
    std::atomic<std::int64_t> m_nLastByteMs{-1};
    std::atomic<std::uint64_t> m_nMessages{0};
    std::atomic<std::uint64_t> m_nWakeups{0};
    std::atomic<std::uint64_t> m_nPartialMessages{0};

    std::mutex m_commandLock;
    std::vector<std::function<void()>> m_commands;

    mutable std::mutex m_linkLock; // the inputs' links

    // The framer's counts and the counts per type; written on the session's
    // thread, a read at a time.
    mutable std::mutex m_healthLock;
    CMessageCounts m_counts;
    // The choice and the comparison as the window reads them (under m_healthLock).
    std::vector<SourceStatus> m_sourceStatus;
    int m_chosen[kQuantities] = {};
    SourceSwitchNotice m_lastSwitch;
    std::vector<HeadingPairStatus> m_pairStatus;
    CourseCheck m_course;
};
