// A heading lives on a circle drawn as a scale from 0 to 360: a step from
// 355° to 2° turned 7° through north, and is drawn leaving the scale at its
// 360 edge and coming back at its 0 edge, not as a stroke through every
// heading between. Every heading curve (live, analysis, exported pictures)
// asks this one function how to draw a step.
#pragma once

#include <cmath>

struct HeadingStep {
    bool bNorth = false; // the shorter way passes north: drawn as two stubs
    float fLeave = 0;    // the scale edge the first stub ends at (0 or 360)
    float fEnter = 0;    // the edge the second stub starts from
    double dAt = 0;      // where along the step (0..1) north is passed
};

// How the step from heading `from` to heading `to` (degrees) is drawn: the
// shorter way round, across north when that is less than half a turn.
inline HeadingStep StepBetweenHeadings(float from, float to) {
    HeadingStep step;
    if (!(std::fabs(to - from) > 180))
        return step;
    step.bNorth = true;
    const bool up = from > to; // 355 -> 2: on through 360
    step.fLeave = up ? 360.0f : 0.0f;
    step.fEnter = up ? 0.0f : 360.0f;
    const double toEdge = up ? 360.0 - from : static_cast<double>(from);
    const double fromEdge = up ? static_cast<double>(to) : 360.0 - to;
    const double total = toEdge + fromEdge;
    step.dAt = total > 0 ? std::fmin(1.0, std::fmax(0.0, toEdge / total)) : 0.5;
    return step;
}

// A heading read on the scale that runs from 180 round north to 540, where
// steps across north are continuous and steps across south are not.
inline float AboutNorth(float heading) {
    return heading < 180 ? heading + 360 : heading;
}
