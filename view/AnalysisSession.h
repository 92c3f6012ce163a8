// The analysis part of the view: the records of a loaded attitude file with
// their range summaries, the load in progress, the five curve toggles and the
// picture last drawn of them. No widget: the view shows what it draws and the
// refusals it returns.
#pragma once

#include "plots/AnalysisCurves.h"
#include "plots/AnalysisLoader.h"
#include "plots/CurveSummary.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class CCanvas;

class CAnalysisSession {
public:
    // Loads path, calling progress now and then; an empty text when the file
    // loaded, else the refusal to show. The records read before a bad line
    // stay.
    QString Load(const QString& path, const LoadProgress& progress);
    // Takes records (and their times, if any) as they are (benchmarks and tests).
    void SetRecords(std::vector<AnalysisSample> records, AnalysisTimes times = {});
    // What the operator is told of a load that did not complete.
    static QString Refusal(const LoadResult& result, const QString& path);

    bool IsLoading() const { return m_bLoading; }
    const QString& Path() const { return m_strPath; }
    const std::vector<AnalysisSample>& Records() const { return m_arrAnalysis; }
    // When each record came; none for the instrument's own files.
    const AnalysisTimes& Times() const { return m_times; }
    CAnalysisData Data() const { return {&m_arrAnalysis, &m_headingSummary, &m_pitchSummary}; }

    // The curve toggles (ID_TOGGLE_*): a curve is drawn while its counter is
    // even, so heading and pitch are on at first.
    static bool IsToggle(int id);
    void Toggle(int id);
    // 1 when the curve is on, 0 when off.
    int CheckState(int id) const;
    bool HeadingOn() const { return CheckState(kFirstToggle) == 1; }
    bool PitchOn() const { return CheckState(kFirstToggle + 1) == 1; }

    // The curves switched on, on the frame given.
    void DrawCurves(CCanvas& canvas, const CPlotFrame& frame) const;
    // What the status bar says of the record drawn at device column x on the
    // frame given: its index, heading and pitch; empty where there is none.
    QString RecordTextAt(const CPlotFrame& frame, int x) const;
    // The progress bar while a load is running.
    void DrawProgress(CCanvas& canvas) const;
    // The progress trace after `lines` lines of a file of `length` bytes.
    static std::vector<QPoint> ProgressTrace(std::uint64_t lines, std::uint64_t length, int width);

    // What the picture depends on besides the view's navigation and size.
    void AppendKey(QDataStream& out) const;
    // The picture last drawn for `key`, drawn anew by `draw` when the key
    // changed: repaints with nothing changed (every received message asks for
    // one) do not draw millions of records' summary again.
    const QImage& Picture(const QByteArray& key, QSize size,
                          const std::function<void(QImage&)>& draw);

private:
    static constexpr int kFirstToggle = 32864; // ID_TOGGLE_HEADING
    static constexpr int kToggles = 5;

    std::vector<AnalysisSample> m_arrAnalysis;
    AnalysisTimes m_times;
    CCurveSummary m_headingSummary, m_pitchSummary;
    QString m_strPath;
    int m_nToggles[kToggles] = {0, 0, 1, 1, 1}; // heading, pitch, roll, satellites, error
    bool m_bLoading = false;
    std::uint64_t m_nLoadLines = 0;
    std::uint64_t m_nLoadLength = 0;
    std::uint64_t m_nGeneration = 0;
    QByteArray m_pictureKey;
    QImage m_picture;
};
