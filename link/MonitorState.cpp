#include "link/MonitorState.h"

#include "link/FramedMessage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {
// text = field. A number's field mostly keeps its length from one message to
// the next: then its bytes are copied in place, without assign's general path
// (which cost the session a fifth of its time).
void AssignText(std::string& text, std::string_view field) {
    if (text.size() == field.size())
        std::memcpy(text.data(), field.data(), field.size());
    else
        text.assign(field);
}
} // namespace

bool CMonitorState::Read(const FramedMessage& message, SentenceReading& reading) {
    if (!message.bTextLine) {
        reading = SentenceReading();
        return false;
    }
    reading = ReadSentence(message.bytes, Options());
    if (reading.checksum == SentenceReading::Checksum::Fails) {
        m_nChecksumFailures.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    return true;
}

CMonitorState::Kind CMonitorState::Interpret(const FramedMessage& message, std::int64_t nowMs,
                                             SentenceReading* reading) {
    if (!message.bTextLine) {
        if (reading)
            *reading = SentenceReading();
        return Kind::None;
    }
    return InterpretText(message.bytes, nowMs, reading);
}

CMonitorState::Kind CMonitorState::InterpretText(std::string_view text, std::int64_t nowMs,
                                                 SentenceReading* out) {
    SentenceReading local;
    SentenceReading& reading = out ? *out : local;
    reading = ReadSentence(text, Options());
    if (reading.checksum == SentenceReading::Checksum::Fails) {
        m_nChecksumFailures.fetch_add(1, std::memory_order_relaxed);
        return Kind::BadChecksum;
    }
    return TakeReading(reading, nowMs);
}

CMonitorState::Kind CMonitorState::TakeReading(const SentenceReading& reading, std::int64_t nowMs,
                                               unsigned quantities) {
    int angles = 0;
    bool position = false;
    Kind kind = Kind::None;
    {
        std::unique_lock<std::mutex> guard(m_lock, std::defer_lock);
        const auto angle = [&](const SentenceValue& value, Kind k, std::string& text,
                               double& kept) {
            ++angles;
            kind = k;
            AssignText(text, value.text);
            kept = value.dNumber;
        };
        for (const Observation& o : reading) {
            if (o.validity != Validity::Valid ||
                !(quantities & 1u << static_cast<unsigned>(o.quantity)))
                continue;
            if (!m_bHeld && !guard.owns_lock())
                guard.lock();
            m_values.m_nReceivedMs[static_cast<int>(o.quantity)] = nowMs;
            switch (o.quantity) {
            case Quantity::Heading:
                angle(o.value, Kind::Heading, m_values.m_strHeading, m_values.m_dHeading);
                break;
            case Quantity::Pitch:
                angle(o.value, Kind::Pitch, m_values.m_strPitch, m_values.m_dPitch);
                break;
            case Quantity::Roll:
                angle(o.value, Kind::Roll, m_values.m_strRoll, m_values.m_dRoll);
                break;
            case Quantity::MagneticHeading:
                m_values.m_dMagneticHeading = o.value.dNumber;
                break;
            case Quantity::TrueFromMagnetic:
                m_values.m_dTrueFromMagnetic = o.value.dNumber;
                break;
            case Quantity::RateOfTurn:
                m_values.m_dRateOfTurn = o.value.dNumber;
                break;
            case Quantity::Course:
                m_values.m_dCourse = o.value.dNumber;
                break;
            case Quantity::Speed:
                m_values.m_dSpeed = o.value.dNumber;
                break;
            case Quantity::Position:
                position = true;
                AssignText(m_values.m_strLatitude, o.value.text);
                AssignText(m_values.m_strLongitude, o.second.text);
                m_values.m_dLatitude = o.value.dNumber;
                m_values.m_dLongitude = o.second.dNumber;
                m_values.m_bSouth = o.bSouth;
                m_values.m_bWest = o.bWest;
                break;
            }
        }
    }
    if (angles == 0)
        return position ? Kind::Position : Kind::None;
    AppendSample(nowMs);
    return angles > 1 ? Kind::Attitude : kind;
}

void CMonitorState::AppendSample(std::int64_t nowMs) {
    // This thread is the only writer of m_values: it reads them unlocked.
    const auto received = [&](Quantity q, double value) {
        return m_values.Received(q) ? value : std::nan("");
    };
    const LiveSample sample(received(Quantity::Heading, m_values.m_dHeading),
                            received(Quantity::Pitch, m_values.m_dPitch),
                            received(Quantity::Roll, m_values.m_dRoll));
    const std::size_t index = m_samples.Size();
    const std::int64_t lastMs = m_nLastSampleMs.load(std::memory_order_relaxed);
    const std::size_t marks = m_times.Size();
    const bool jumped = m_bBreakNext;
    m_bBreakNext = false;
    if (index > 0 && (jumped || nowMs - lastMs > StaleMs())) {
        m_gaps.Append(index);
        if (m_times[marks - 1].index != index - 1)
            m_times.Append({index - 1, lastMs});
        m_times.Append({index, nowMs});
    } else if (marks == 0 || nowMs - m_times[marks - 1].ms >= kTimeMarkMs) {
        m_times.Append({index, nowMs});
    }
    // The time first: a reader that sees the new size interpolates up to it.
    m_nLastSampleMs.store(nowMs, std::memory_order_relaxed);
    m_samples.Append(sample);
}

std::int64_t CMonitorState::SampleTimeMs(std::size_t i) const {
    const std::size_t marks = m_times.Size();
    if (marks == 0)
        return 0;
    // The last mark at or before i, and the next one (or the newest sample).
    std::size_t low = 0, high = marks;
    while (high - low > 1) {
        const std::size_t mid = (low + high) / 2;
        (m_times[mid].index <= i ? low : high) = mid;
    }
    const SampleTimeMark before = m_times[low];
    const SampleTimeMark after =
        low + 1 < marks
            ? m_times[low + 1]
            : SampleTimeMark{m_samples.Size() - 1, m_nLastSampleMs.load(std::memory_order_relaxed)};
    std::int64_t ms = before.ms;
    if (after.index > before.index && i > before.index)
        ms += (after.ms - before.ms) * static_cast<std::int64_t>(i - before.index) /
              static_cast<std::int64_t>(after.index - before.index);
    return ms - m_times[0].ms;
}

CLiveValues CMonitorState::Values() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values;
}

void CMonitorState::SetAlarmLimits(int pitch, int roll) {
    m_nPitchLimit.store(pitch);
    m_nRollLimit.store(roll);
}

CMonitorState::Kind CMonitorState::TakeValue(Quantity q, double value, std::int64_t receivedMs) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    SentenceReading reading;
    reading.arrObservations[0].quantity = q;
    reading.arrObservations[0].validity = Validity::Valid;
    reading.arrObservations[0].value = {
        std::string_view(text, static_cast<std::size_t>(end - text)), value};
    reading.nObservations = 1;
    // The samples' times never go back.
    const std::int64_t at = std::max(receivedMs, m_nLastSampleMs.load(std::memory_order_relaxed));
    return TakeReading(reading, at, 1u << static_cast<unsigned>(q));
}

void CMonitorState::SetComparedHeading(const std::string& label, double heading,
                                       std::int64_t receivedMs) {
    std::unique_lock<std::mutex> guard(m_lock, std::defer_lock);
    if (!m_bHeld)
        guard.lock();
    if (m_values.m_strComparedSource != label)
        m_values.m_strComparedSource = label;
    m_values.m_dComparedHeading = heading;
    m_values.m_nComparedMs = receivedMs;
}

void CMonitorState::SetSourceLabel(Quantity q, const std::string& label) {
    std::unique_lock<std::mutex> guard(m_lock, std::defer_lock);
    if (!m_bHeld)
        guard.lock();
    m_values.m_strSource[static_cast<int>(q)] = label;
}

void CMonitorState::MarkAlarm() {
    const std::size_t count = m_samples.Size();
    if (count > 0 &&
        (m_alarmMarks.Size() == 0 || m_alarmMarks[m_alarmMarks.Size() - 1] != count - 1))
        m_alarmMarks.Append(count - 1);
}

bool CMonitorState::LastAngle(Quantity q, double* angle) const {
    if (!m_values.Received(q))
        return false;
    *angle = q == Quantity::Heading ? m_values.m_dHeading
             : q == Quantity::Pitch ? m_values.m_dPitch
                                    : m_values.m_dRoll;
    return true;
}
