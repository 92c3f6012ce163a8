// What the program knows of the instrument, and how one received message
// changes it. No widgets and no thread of its own: the instrument session's
// thread interprets every message; the window copies the values (under a
// short lock) and reads the samples (without one) when it draws.
//
// Only what a message really says changes anything: the sentences
// ReadSentence reads (link/Sentences.h) move the values and add a sample when
// they carry an angle. Every other sentence, every packet, and a sentence
// whose "*hh" checksum does not match is recorded and shown as received but
// leaves the values and the curves alone.
#pragma once

#include "link/AlarmSettings.h"
#include "link/LiveSamples.h"
#include "link/Sentences.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

struct FramedMessage;

// The clock the values are stamped with: milliseconds of a steady clock.
inline std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The values as last received, as text and number, and when each arrived.
struct CLiveValues {
    std::string m_strHeading, m_strPitch, m_strRoll;
    std::string m_strLatitude, m_strLongitude; // ddmm.mmmm and dddmm.mmmm, as sent
    double m_dHeading = 0, m_dPitch = 0, m_dRoll = 0;
    double m_dLatitude = 0, m_dLongitude = 0;
    bool m_bSouth = false, m_bWest = false; // the position's hemispheres
    // Shown as values, never drawn or alarmed: degrees, degrees a minute, knots.
    double m_dMagneticHeading = 0, m_dTrueFromMagnetic = 0, m_dRateOfTurn = 0;
    double m_dCourse = 0, m_dSpeed = 0;
    static_assert(kQuantities == 9);
    std::int64_t m_nReceivedMs[kQuantities] = {-1, -1, -1, -1, -1, -1, -1, -1, -1}; // -1: never
    // With several sources: the one each value is taken from; empty with one.
    std::string m_strSource[kQuantities];
    // The heading the shown one is compared with (another source's), and
    // when it came; -1: none compared.
    std::string m_strComparedSource;
    double m_dComparedHeading = 0;
    std::int64_t m_nComparedMs = -1;

    bool Received(Quantity q) const { return m_nReceivedMs[static_cast<int>(q)] >= 0; }
    // Milliseconds since q arrived, at nowMs; -1 when it never did.
    std::int64_t AgeMs(Quantity q, std::int64_t nowMs) const {
        return Received(q) ? nowMs - m_nReceivedMs[static_cast<int>(q)] : -1;
    }
    // Received, but not refreshed for longer than staleMs.
    bool IsStale(Quantity q, std::int64_t nowMs, std::int64_t staleMs) const {
        return Received(q) && AgeMs(q, nowMs) > staleMs;
    }
};

class CMonitorState {
public:
    // Attitude: more than one of heading, pitch and roll.
    enum class Kind { None, Position, Heading, Pitch, Roll, Attitude, BadChecksum };

    // Interprets one message received at nowMs (SteadyMs()). Packets carry no
    // attitude; text lines are read as the header says, and what was read is
    // left in *reading when asked for (views into the message).
    Kind Interpret(const FramedMessage& message, std::int64_t nowMs,
                   SentenceReading* reading = nullptr);
    Kind InterpretText(std::string_view text, std::int64_t nowMs = 0,
                       SentenceReading* reading = nullptr);
    // The same, where choose(reading) says which quantities (bit 1 <<
    // Quantity) the reading may move: those of the source the displays follow.
    template <class Choose>
    Kind Interpret(const FramedMessage& message, std::int64_t nowMs, SentenceReading& reading,
                   Choose&& choose) {
        if (!Read(message, reading))
            return reading.checksum == SentenceReading::Checksum::Fails ? Kind::BadChecksum
                                                                        : Kind::None;
        return TakeReading(reading, nowMs, choose(static_cast<const SentenceReading&>(reading)));
    }
    static constexpr unsigned kAllQuantities = (1u << kQuantities) - 1;
    // How sentences are read from now on (RotMeaning); any thread.
    void SetSentenceOptions(const SentenceOptions& options) {
        m_bGpRotIsPitch.store(options.bGpRotIsPitch);
    }
    SentenceOptions Options() const { return {m_bGpRotIsPitch.load()}; }

    // Any thread.
    CLiveValues Values() const;
    const CLiveSamples& Samples() const { return m_samples; }
    const CSampleGaps& Gaps() const { return m_gaps; }
    std::uint64_t ChecksumFailures() const { return m_nChecksumFailures.load(); }

    // A value not refreshed for this long is stale; a sample that comes this
    // long after the one before starts a new stretch of the curves.
    void SetStaleMs(std::int64_t ms) { m_nStaleMs.store(ms); }
    // The next sample starts a new stretch of the curves as after a silence
    // (a replay jumped); on the interpreting thread.
    void BreakCurves() { m_bBreakNext = true; }
    std::int64_t StaleMs() const { return m_nStaleMs.load(); }

    // The alarm limits, from any thread.
    void SetAlarmLimits(int pitch, int roll);
    int PitchLimit() const { return m_nPitchLimit.load(); }
    int RollLimit() const { return m_nRollLimit.load(); }
    // The samples at which an alarm started (marked on the curves); the
    // interpreting thread marks the last sample.
    const CSampleGaps& AlarmMarks() const { return m_alarmMarks; }
    void MarkAlarm();
    // A source's last value of q, received at receivedMs, taken as if it had
    // just come: the displays go over to a source at once, not at its next
    // message. On the interpreting thread.
    Kind TakeValue(Quantity q, double value, std::int64_t receivedMs);
    // The heading compared with the shown one (receivedMs -1: none); on the
    // interpreting thread.
    void SetComparedHeading(const std::string& label, double heading, std::int64_t receivedMs);
    // The source a quantity's values are taken from from now on (several
    // sources); on the interpreting thread.
    void SetSourceLabel(Quantity q, const std::string& label);
    // The last value of an angle, on the interpreting thread only (no lock);
    // false while none has been received.
    bool LastAngle(Quantity q, double* angle) const;
    // When the last attitude arrived (SteadyMs); -1 before the first.
    std::int64_t LastAttitudeMs() const {
        return m_samples.Size() ? m_nLastSampleMs.load(std::memory_order_relaxed) : -1;
    }
    // When sample i arrived, in milliseconds after the first sample; from any
    // thread, for i below a Size() it has read. Exact at the marks (the first
    // sample, one every half minute, both sides of every gap), even in between.
    std::int64_t SampleTimeMs(std::size_t i) const;
    static constexpr std::int64_t kTimeMarkMs = 30000;

    // Holds the values locked while the interpreting thread takes the
    // messages of one read, which then do not lock them one by one: the
    // window's copy waits at most for the interpretation of one read.
    class CHeldValues {
    public:
        explicit CHeldValues(CMonitorState& state) : m_state(state), m_guard(state.m_lock) {
            state.m_bHeld = true;
        }
        ~CHeldValues() { m_state.m_bHeld = false; }
        CHeldValues(const CHeldValues&) = delete;
        CHeldValues& operator=(const CHeldValues&) = delete;

    private:
        CMonitorState& m_state;
        std::lock_guard<std::mutex> m_guard;
    };

private:
    // Reads a text line into reading (a packet: an empty reading); false for
    // a packet or a failed checksum (counted).
    bool Read(const FramedMessage& message, SentenceReading& reading);
    // Takes the valid observations of a line into the values, of the
    // quantities in the mask.
    Kind TakeReading(const SentenceReading& reading, std::int64_t nowMs,
                     unsigned quantities = kAllQuantities);
    void AppendSample(std::int64_t nowMs);

    mutable std::mutex m_lock; // guards m_values
    bool m_bHeld = false;      // by CHeldValues; the interpreting thread's own
    bool m_bBreakNext = false; // the interpreting thread's own
    CLiveValues m_values;
    CLiveSamples m_samples;
    CSampleGaps m_gaps;
    CSampleTimes m_times;
    std::atomic<std::int64_t> m_nLastSampleMs{0};
    std::atomic<std::int64_t> m_nStaleMs{AlarmSettings{}.StaleMs()};
    std::atomic<std::uint64_t> m_nChecksumFailures{0};
    std::atomic<bool> m_bGpRotIsPitch{true};
    std::atomic<int> m_nPitchLimit{AlarmSettings{}.pitchLimit};
    std::atomic<int> m_nRollLimit{AlarmSettings{}.rollLimit};
    CSampleGaps m_alarmMarks;
};
