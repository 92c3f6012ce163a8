// One sample per interpreted message (live) or per accepted line (analysis):
// heading, spare, pitch, spare, spare, in degrees. Only heading and pitch are
// filled; the spare slots match the roll, satellite and error curves.
#pragma once

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
