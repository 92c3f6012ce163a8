#include "link/MonitorState.h"

#include "link/NumberText.h"
#include "link/ReceiverMessage.h"

#include <cmath>
#include <optional>

namespace {

// Field n of a sentence split at commas only (field 0 is "$" and the address).
std::string_view CommaField(std::string_view s, int n) {
    std::size_t start = 0;
    for (int k = 0; k < n; ++k) {
        const std::size_t comma = s.find(',', start);
        if (comma == std::string_view::npos)
            return {};
        start = comma + 1;
    }
    std::size_t end = start;
    while (end < s.size() && s[end] != ',' && s[end] != '*' && s[end] != '\r' && s[end] != '\n')
        ++end;
    return s.substr(start, end - start);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A field that holds a number: an optional sign, then a digit or a point and
// a digit. An empty field, or one of letters, carries no value.
bool IsNumber(std::string_view s) {
    std::size_t i = !s.empty() && (s[0] == '+' || s[0] == '-') ? 1 : 0;
    if (i < s.size() && IsDigit(s[i]))
        return true;
    return i + 1 < s.size() && s[i] == '.' && IsDigit(s[i + 1]);
}

int HexDigit(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A sentence without "*" passes (the instrument's own sentences carry none);
// one with it passes only when two hex digits follow that equal the XOR of
// every character between the leading '$' and the '*'.
bool ChecksumHolds(std::string_view s) {
    const std::size_t star = s.find('*');
    if (star == std::string_view::npos || s.empty() || s[0] != '$')
        return true;
    const int high = star + 1 < s.size() ? HexDigit(s[star + 1]) : -1;
    const int low = star + 2 < s.size() ? HexDigit(s[star + 2]) : -1;
    if (high < 0 || low < 0)
        return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(s[i]);
    return sum == static_cast<unsigned>(high * 16 + low);
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
        const std::string_view heading = CReceiverMessage::ExtractFieldOf(text, 1);
        if (!IsNumber(heading))
            return Kind::None;
        return ReadAttitude(heading, CReceiverMessage::ExtractFieldOf(text, 2), nowMs);
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
    const bool hasHeading = IsNumber(heading);
    const bool hasPitch = IsNumber(pitch);
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

AlarmDecision CMonitorState::TestAlarm() {
    auto angle = [&](Quantity q, double value) {
        return m_values.Received(q) ? std::optional<double>(value) : std::nullopt;
    };
    const AlarmDecision decision =
        DecideAlarm(angle(Quantity::Pitch, m_values.m_dPitch),
                    angle(Quantity::Roll, m_values.m_dRoll), PitchLimit(), RollLimit());
    m_nLastAlarm.store((decision.bPitch ? 1u : 0u) | (decision.bRoll ? 2u : 0u));
    if (decision.Any())
        m_nAlarmedMessages.fetch_add(1);
    return decision;
}

AlarmDecision CMonitorState::LastAlarm() const {
    const unsigned bits = m_nLastAlarm.load();
    AlarmDecision decision;
    decision.bPitch = bits & 1u;
    decision.bRoll = bits & 2u;
    return decision;
}
