#include "view/MonitorState.h"

#include "link/NumberText.h"
#include "link/ReceiverMessage.h"

namespace {
// Field n of a sentence split at commas only (field 0 is the sentence name).
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
} // namespace

std::string_view CMonitorState::MessageText(const CReceiverMessage& message) {
    return message.m_bTextLine ? message.Bytes() : message.Payload();
}

CMonitorState::Kind CMonitorState::Interpret(const CReceiverMessage& message) {
    const std::string_view text = MessageText(message);
    m_strMessage.assign(text.data(), text.size());
    return InterpretText(m_strMessage);
}

CMonitorState::Kind CMonitorState::InterpretText(std::string_view text) {
    const std::string_view name = CReceiverMessage::ExtractFieldOf(text, 1);
    if (name == "GGA") {
        // Taken at the commas: a hemisphere letter S or W is no separator
        // there, so southern and western positions come out whole.
        m_strLatitude.assign(CommaField(text, 2));
        m_strLongitude.assign(CommaField(text, 4));
        m_dLatitude = Atof(m_strLatitude);
        m_dLongitude = Atof(m_strLongitude);
        return Kind::Position;
    }
    const std::string_view field2 = CReceiverMessage::ExtractFieldOf(text, 2);
    if (name == "HDT") {
        m_strHeading.assign(field2);
        Append(Atof(field2), m_dLastPitch);
        return Kind::Heading;
    }
    if (name == "ROT") {
        m_strPitch.assign(field2);
        Append(m_dLastHeading, Atof(field2));
        return Kind::Pitch;
    }
    m_strHeading.assign(name);
    m_strPitch.assign(field2);
    Append(Atof(name), Atof(field2));
    return Kind::Attitude;
}

void CMonitorState::Append(double heading, double pitch) {
    m_dLastHeading = heading;
    m_dLastPitch = pitch;
    AttitudeSample sample;
    sample.dHeading = heading;
    sample.dPitch = pitch;
    m_arrSamples.push_back(sample);
}
