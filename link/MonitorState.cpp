#include "link/MonitorState.h"

#include "link/NumberText.h"
#include "link/ReceiverMessage.h"

#include <cmath>
#include <limits>
#include <optional>

namespace {
// A field that holds an angle the samples can keep: a number within the range
// of float (a reading of 1e39 would be an infinity on the curves).
bool IsAngle(std::string_view field) {
    return IsNumber(field) && std::fabs(Atof(field)) <= std::numeric_limits<float>::max();
}
} // namespace

std::string_view CMonitorState::MessageText(const CReceiverMessage& message) {
    return message.m_bTextLine ? message.Bytes() : message.Payload();
}

CMonitorState::Kind CMonitorState::Interpret(const CReceiverMessage& message, std::int64_t nowMs) {
    if (!message.m_bTextLine)
        return Kind::None;
    return InterpretText(message.Bytes(), nowMs);
}

CMonitorState::Kind CMonitorState::InterpretText(std::string_view text, std::int64_t nowMs) {
    if (text.size() < 2 || text[0] != '$')
        return Kind::None;
    if (!ChecksumHolds(text)) {
        m_nChecksumFailures.fetch_add(1, std::memory_order_relaxed);
        return Kind::BadChecksum;
    }
    // The instrument's own sentence: "$C" and a number. Its fields are split
    // as the instrument writes them (C, E, N and P separate too).
    if (text[1] == 'C') {
        const std::string_view heading = ExtractFieldOf(text, 1);
        if (!IsAngle(heading))
            return Kind::None;
        return ReadAttitude(heading, ExtractFieldOf(text, 2), nowMs);
    }
    // "$ttSSS": a talker of two letters, then the sentence.
    const std::string_view address = CommaField(text, 0).substr(1);
    if (address.size() != 5)
        return Kind::None;
    const std::string_view sentence = address.substr(2);
    if (sentence == "GGA")
        return ReadPosition(CommaField(text, 2), CommaField(text, 4), nowMs);
    if (sentence == "HDT")
        return ReadAttitude(CommaField(text, 1), {}, nowMs);
    if (sentence == "ROT")
        return ReadAttitude({}, CommaField(text, 1), nowMs);
    return Kind::None;
}

CMonitorState::Kind CMonitorState::ReadAttitude(std::string_view heading, std::string_view pitch,
                                                std::int64_t nowMs) {
    const bool hasHeading = IsAngle(heading);
    const bool hasPitch = IsAngle(pitch);
    if (!hasHeading && !hasPitch)
        return Kind::None;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (hasHeading) {
            m_values.m_strHeading.assign(heading);
            m_values.m_dHeading = Atof(heading);
            m_values.m_nReceivedMs[static_cast<int>(Quantity::Heading)] = nowMs;
        }
        if (hasPitch) {
            m_values.m_strPitch.assign(pitch);
            m_values.m_dPitch = Atof(pitch);
            m_values.m_nReceivedMs[static_cast<int>(Quantity::Pitch)] = nowMs;
        }
    }
    AppendSample(nowMs);
    if (hasHeading && hasPitch)
        return Kind::Attitude;
    return hasHeading ? Kind::Heading : Kind::Pitch;
}

CMonitorState::Kind CMonitorState::ReadPosition(std::string_view latitude,
                                                std::string_view longitude, std::int64_t nowMs) {
    // Without a fix the fields are empty: that is no position.
    if (!IsNumber(latitude) || !IsNumber(longitude))
        return Kind::None;
    std::lock_guard<std::mutex> guard(m_lock);
    m_values.m_strLatitude.assign(latitude);
    m_values.m_strLongitude.assign(longitude);
    m_values.m_dLatitude = Atof(latitude);
    m_values.m_dLongitude = Atof(longitude);
    m_values.m_nReceivedMs[static_cast<int>(Quantity::Position)] = nowMs;
    return Kind::Position;
}

void CMonitorState::AppendSample(std::int64_t nowMs) {
    // This thread is the only writer of m_values: it reads them unlocked.
    const float none = std::nanf("");
    LiveSample sample;
    sample.fHeading =
        m_values.Received(Quantity::Heading) ? static_cast<float>(m_values.m_dHeading) : none;
    sample.fPitch =
        m_values.Received(Quantity::Pitch) ? static_cast<float>(m_values.m_dPitch) : none;
    sample.fRoll = m_values.Received(Quantity::Roll) ? static_cast<float>(m_values.m_dRoll) : none;
    const std::size_t index = m_samples.Size();
    if (index > 0 && nowMs - m_nLastSampleMs > StaleMs())
        m_gaps.Append(index);
    m_samples.Append(sample);
    m_nLastSampleMs = nowMs;
}

CLiveValues CMonitorState::Values() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values;
}

void CMonitorState::SetAlarmLimits(int pitch, int roll) {
    m_nPitchLimit.store(pitch);
    m_nRollLimit.store(roll);
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
