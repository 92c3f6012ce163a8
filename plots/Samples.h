// One sample per interpreted message (live) or per accepted line (analysis):
// heading, spare, pitch, spare, spare, in degrees. Only heading and pitch are
// filled; the spare slots match the roll, satellite and error curves.
//
// The analysis keeps floats rather than the live samples' hundredths
// (link/LiveSamples.h): its slots are not all angles, its curves and summaries
// read them as floats, and a loaded file is held once, while the live samples
// grow for as long as the program runs.
#pragma once

#include "link/RecordReader.h"

#include <cstdint>
#include <string>
#include <vector>

struct AttitudeSample {
    double dHeading = 0;
    double dSpare1 = 0;
    double dPitch = 0;
    double dSpare2 = 0;
    double dSpare3 = 0;
};

struct AnalysisSample {
    float fHeading = 0;
    float fSpare1 = 0;
    float fPitch = 0;
    float fSpare2 = 0;
    float fSpare3 = 0;
};
static_assert(sizeof(AnalysisSample) == 20, "an analysis record is five 32-bit floats");

// When each analysis record arrived, for recordings that say so: milliseconds
// after nStartUtcMs, one per record (four bytes: a record and its time make 24).
struct AnalysisTimes {
    RecordTimeSource source = RecordTimeSource::None;
    std::int64_t nStartUtcMs = 0;
    std::vector<std::uint32_t> arrOffsetMs;
    std::string strSourceNote; // why a better source was left aside (CRecordReader::TimeSourceNote)

    bool Known() const { return source != RecordTimeSource::None && !arrOffsetMs.empty(); }
    std::int64_t UtcMs(std::size_t i) const { return nStartUtcMs + arrOffsetMs[i]; }
};
