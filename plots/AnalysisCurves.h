// The analysis view's curves: heading (green) and pitch (purple) over the
// record index, each with its value axis, on the frame and time grid.
#pragma once

#include "plots/CurveSummary.h"
#include "plots/PlotFrame.h"
#include "plots/Samples.h"

#include <vector>

struct CAnalysisData {
    const std::vector<AnalysisSample>* records = nullptr;
    const CCurveSummary* heading = nullptr; // summaries of the records, for dense columns
    const CCurveSummary* pitch = nullptr;
};

// The curves switched on, over one time grid drawn first (drawn again between
// them it would hide the heading curve's spikes that fall on a grid line).
void DrawAnalysisCurves(CCanvas& canvas, const CPlotFrame& frame, const CAnalysisData& data,
                        bool heading, bool pitch);
// One curve with its value axis, without the time grid.
void DrawHeadingCurve(CCanvas& canvas, const CPlotFrame& frame, const CAnalysisData& data);
void DrawPitchCurve(CCanvas& canvas, const CPlotFrame& frame, const CAnalysisData& data);

// The polyline of one curve: every record where records are sparser than
// pixels; where denser, per pixel column the first, lowest, highest and last
// (so every spike stays), and nothing outside the window.
std::vector<QPoint> CurvePoints(const CPlotFrame& frame, const std::vector<AnalysisSample>& records,
                                const CCurveSummary* summary, float AnalysisSample::*field,
                                double (*valueY)(const CPlotFrame&, double), int windowWidth);

double HeadingY(const CPlotFrame& frame, double heading);
double PitchY(const CPlotFrame& frame, double pitch);
