// The event log beside the record file: what happened and when, for the
// operator to read afterwards. "2026-12-7-9-5-3.txt" has its events in
// "2026-12-7-9-5-3-events.csv": UTF-8, the header "time,subject,event,value,limit",
// then one line per change, each written with one write(2) as the record's
// messages are. Times are UTC, ISO 8601 with milliseconds.
//
// Subjects and events: pitch, roll and data (no attitude received) with
// active, silenced, acknowledged, rectified, normal (value: the angle or age
// that caused it; for states a browser's command caused, who sent it, "web
// 192.168.1.20"); heading, pitch, roll,
// position with stale and fresh; link with lost and restored; record with
// write-failed, resumed and dropped (value: bytes left out of the record);
// input with dropped (value: bytes), datagrams-lost (value: datagrams),
// new-sender, sender-refused and too-many-senders (value: a UDP sender's
// address); serve with start, stop, open-to-network, udp-start, udp-stop,
// client-connected, client-refused, client-refused-descriptors,
// client-dropped (value: the client's address, limit: the bound that refused
// or dropped it), client-lines-skipped, accept-paused (value: the system's
// error name) and accept-resumed; program with start, end and bad-setting;
// web (the browser view) with start (value host:port), stop, refused and
// dropped (value: the browser's address), and its counts (not-found,
// bad-method, over-cap, ...: value the count, at most once a minute).
//
// Lines that cannot be written (a full disk, a folder not there yet, no log
// opened yet) are kept in memory, in order, and written (after the header of
// a new log) as soon as the log can be written again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CEventLog {
public:
    CEventLog() = default;
    ~CEventLog();
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;

    // The log that goes with a record file.
    static std::string PathFor(const std::string& recordPath);
    // "2026-12-07T09:05:03.125Z" for milliseconds since 1970 (UTC).
    static std::string IsoTime(std::int64_t utcMs);
    static std::int64_t NowUtcMs();

    // Lines kept while they cannot be written; beyond this the oldest go.
    static constexpr std::size_t kMaxPending = 4u << 20;

    // Opens (or creates, with its header) the log at path, closing the one in
    // use, and writes the lines kept so far. The lines go on at the end of a
    // log that exists. False when it cannot be opened now: Flush tries again.
    bool Open(const std::string& path, std::string* error);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_strPath; }

    // One line; value and limit may be empty. False when it could not be
    // written now (it is kept for the next try).
    bool Write(std::string_view subject, std::string_view event, std::string_view value = {},
               std::string_view limit = {}, std::int64_t utcMs = NowUtcMs());
    // The line Write writes, with its end.
    static std::string Line(std::string_view subject, std::string_view event,
                            std::string_view value, std::string_view limit, std::int64_t utcMs);
    // Opens the log at its path if that failed before, and writes the lines
    // kept; true when none is left.
    bool Flush();
    std::size_t Pending() const { return m_pending.size(); }
    // A number as the log writes it: up to three decimals, no trailing zeros.
    static std::string Number(double value);

private:
    bool OpenFile(std::string* error);

    int m_fd = -1;
    std::string m_strPath;
    std::string m_pending; // lines not yet written, the header first where one is due
};
