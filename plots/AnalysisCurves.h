// The analysis view's curves: heading (green) and pitch (purple) over the
// record index, each with its value axis, and roll (red, on the pitch axis)
// where the records have it, on the frame and time grid.
#pragma once

#include "plots/CurveSummary.h"
#include "plots/Decimate.h"
#include "plots/PlotFrame.h"
#include "plots/Samples.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct CAnalysisData {
    const std::vector<AnalysisSample>* records = nullptr;
    const CCurveSummary* heading = nullptr; // summaries of the records, for dense columns
    const CCurveSummary* pitch = nullptr;
    const CCurveSummary* roll = nullptr; // none: the records have no roll
    // The first record with a heading, a pitch, a roll: the records before
    // hold NaN (not yet received) and are not drawn.
    std::size_t firstHeading = 0, firstPitch = 0, firstRoll = 0;
};

// Where records are denser than the pixels, the run of records each pixel
// column of a window holds, found once per picture for all the curves on its
// time axis (they share it), with what the curves need of the records at the
// runs' ends.
struct CColumnRuns {
    const AnalysisSample* pData = nullptr;
    std::size_t nRecords = 0;
    int nWidth = 0;
    std::vector<int> x;              // the columns, in the records' order
    std::vector<std::int64_t> start; // the first record of each; then the last + 1
    // Per run, the minimum and maximum of each of the records' first four
    // fields over the records at its two ends: from its first to the end of
    // that one's block of 16 records, and from the start of its last's block
    // to its last (a run within one block: unused); and those fields of its
    // first and last record. Each written once: not cleared first.
    struct Ends {
        float endMin[4], endMax[4], firstOf[4], lastOf[4];
    };
    std::unique_ptr<Ends[]> ends;
    std::size_t nEnds = 0;
    // Per run over more than one block, where a summary of the records
    // finds the extremes between its ends (the same in every curve's):
    // reads[readsFrom[k]] up to reads[readsFrom[k + 1]].
    std::unique_ptr<CSummaryLayout::Read[]> reads;
    std::vector<std::uint32_t> readsFrom;
    // The fields whose ends' extremes were widened by those look-ups in a
    // summary (WidenRuns), once for all the curves: there endMin and endMax
    // are the whole run's.
    std::array<const CCurveSummary*, 4> widenedBy{};
    bool Dense() const { return !x.empty(); }
    bool For(const std::vector<AnalysisSample>& records, int width) const {
        return pData == records.data() && nRecords == records.size() && nWidth == width;
    }
};
CColumnRuns ColumnRunsOf(const CPlotFrame& frame, const std::vector<AnalysisSample>& records,
                         int windowWidth);
// Widens the runs' ends' extremes of the records' first four fields by the
// look-ups between them in the fields' summaries of the records (none: that
// field left as it is), all the summaries at each look-up.
void WidenRuns(CColumnRuns& runs, const std::vector<AnalysisSample>& records,
               const std::array<const CCurveSummary*, 4>& summaries);
// Which of the records' first four fields a field is.
std::size_t LaneOf(float AnalysisSample::*field);

// The curves switched on, over one time grid drawn first (drawn again between
// them it would hide the heading curve's spikes that fall on a grid line).
void DrawAnalysisCurves(CCanvas& canvas, const CPlotFrame& frame, const CAnalysisData& data,
                        bool heading, bool pitch, bool roll = false);
// One curve with its value axis, without the time grid (runs: the picture's
// columns when found already).
void DrawHeadingCurve(CCanvas& canvas, const CPlotFrame& frame, const CAnalysisData& data,
                      const CColumnRuns* runs = nullptr);
void DrawPitchCurve(CCanvas& canvas, const CPlotFrame& frame, const CAnalysisData& data,
                    const CColumnRuns* runs = nullptr);
void DrawRollCurve(CCanvas& canvas, const CPlotFrame& frame, const CAnalysisData& data,
                   const CColumnRuns* runs = nullptr);

// The polylines of one curve: every record where records are sparser than
// pixels; where denser, per pixel column the first, lowest, highest and last
// (so every spike stays), from the summary when it is built for the records
// (else from every record); nothing outside the window nor before record
// `first`, broken where a value was not received. A heading curve steps
// across north through the scale's edges (plots/Decimate.h).
CurveTrace CurvePoints(const CPlotFrame& frame, const std::vector<AnalysisSample>& records,
                       const CCurveSummary* summary, float AnalysisSample::*field,
                       double (*valueY)(const CPlotFrame&, double), int windowWidth,
                       std::size_t first = 0, bool heading = false,
                       const CColumnRuns* runs = nullptr);

double HeadingY(const CPlotFrame& frame, double heading);
double PitchY(const CPlotFrame& frame, double pitch);
