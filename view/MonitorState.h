// What the monitoring view knows of the instrument, and how one received
// message changes it. Free of widgets, so it is tested without a window.
#pragma once

#include "plots/Samples.h"

#include <string>
#include <string_view>
#include <vector>

class CReceiverMessage;

class CMonitorState {
public:
    enum class Kind { Position, Heading, Pitch, Attitude };

    // Forms m_strMessage from the message and interprets it: GGA sets the
    // position, HDT the heading, ROT the pitch, anything else heading and
    // pitch; all but GGA append a sample.
    Kind Interpret(const CReceiverMessage& message);
    Kind InterpretText(std::string_view text);

    // The message as it is recorded: a text line whole, zero bytes included;
    // a packet's data bytes only.
    static std::string_view MessageText(const CReceiverMessage& message);

    // The angles the alarm looks at: the last pitch received, and roll, which
    // no message carries, so 0.
    double AlarmPitch() const { return m_dLastPitch; }
    double AlarmRoll() const { return 0.0; }

    std::string m_strMessage;
    std::string m_strHeading, m_strRoll, m_strPitch;
    std::string m_strLatitude, m_strLongitude;
    double m_dHeading = 0, m_dRoll = 0, m_dPitch = 0; // recomputed when the dials are drawn
    double m_dLatitude = 0, m_dLongitude = 0;
    std::vector<AttitudeSample> m_arrSamples;

private:
    void Append(double heading, double pitch);

    // The last values received, carried into samples of HDT and ROT messages
    // for the value they do not hold.
    double m_dLastHeading = 0;
    double m_dLastPitch = 0;
};
