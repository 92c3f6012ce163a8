// The analysis part of the view: the records of a loaded file (the
// instrument's R35 attitude file, or a record file of this program with the
// time of each record) with their range summaries, the load in progress, the
// curve toggles and the time axis, and the picture last drawn of them. No
// widget: the view shows what it draws and the refusals it returns.
//
// A load runs on a thread of its own, into records of its own: the window
// keeps painting, and a cancelled load leaves the records shown before as they
// were. The user-interface thread starts, polls, takes and cancels loads; the
// loading thread touches nothing but its job (the progress counts are atomic).
#pragma once

#include "link/MessageCounts.h"
#include "plots/AnalysisCurves.h"
#include "plots/AnalysisLoader.h"
#include "plots/CurveSummary.h"
#include "plots/RecordLoader.h"
#include "plots/SourceHeadings.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CCanvas;

enum class AnalysisSource { R35, Record };

// What a load leaves: the records, their times, summaries and counts. Held
// on the heap, so the summaries' record pointers stay good when it changes hands.
struct CAnalysisRecords {
    std::vector<AnalysisSample> records;
    AnalysisTimes times;
    CMessageCounts counts; // record files only: every message by its type
    std::uint64_t nMessages = 0;
    std::uint64_t nPositions = 0;
    CCurveSummary heading, pitch, roll;
    // The first record that has a heading, a pitch, a roll (records.size():
    // none). Before it the angle was not yet received: NaN, not drawn.
    std::size_t nFirst[3] = {0, 0, 0};
    // A record of several sources: each further source's heading against
    // the first's (records beside it; none for one source or an R35 file).
    std::vector<HeadingAgreement> arrHeadings;

    // Finds the first records and builds the summaries of the curves there
    // are; roll only withRoll (an R35 file's records have none: 0 there).
    void Summarise(bool withRoll);
};

class CAnalysisSession {
public:
    CAnalysisSession();
    // A load in progress is cancelled and waited for.
    ~CAnalysisSession();

    // Starts loading path on a thread of its own; a load in progress is
    // cancelled first. Poll LoadEnded, then FinishLoad; onEnded, when given,
    // is called on the loading thread once the load has ended.
    void StartLoad(const QString& path, AnalysisSource source, std::function<void()> onEnded = {});
    // How a record's sentences are read from the next load on (RotMeaning).
    void SetSentenceOptions(const SentenceOptions& options) { m_sentenceOptions = options; }
    // How the headings of a record's further sources are compared with the first's.
    void SetHeadingCompareSettings(const HeadingCompareSettings& settings) {
        m_headingCompare = settings;
    }
    bool LoadEnded() const;
    struct Finished {
        bool complete = false; // the file loaded whole
        bool taken = false;    // its records replace those shown (also after a refusal)
        QString refusal;       // empty when it loaded
    };
    // Takes the ended load's records: waits for it if it has not ended.
    Finished FinishLoad();
    // Ends the load in progress; the records shown before stay.
    void CancelLoad();
    // StartLoad and FinishLoad in one (benchmarks, tests without an event loop).
    QString Load(const QString& path, AnalysisSource source = AnalysisSource::R35);
    // Takes records (and their times, if any) as they are (benchmarks and
    // tests); withRoll: fSpare1 is roll.
    void SetRecords(std::vector<AnalysisSample> records, AnalysisTimes times = {},
                    bool withRoll = false);
    // What the operator is told of a load that did not complete; empty when it did.
    static QString Refusal(const LoadResult& result, const QString& path);
    static QString Refusal(const RecordLoadResult& result, const QString& path);

    bool IsLoading() const { return m_pJob != nullptr; }
    const QString& Path() const { return m_strPath; }
    const std::vector<AnalysisSample>& Records() const { return m_pData->records; }
    const CAnalysisRecords& Loaded() const { return *m_pData; }
    const AnalysisTimes& Times() const { return m_pData->times; }
    CAnalysisData Data() const;
    // What the status bar says of where the records' times come from; empty
    // without times.
    QString TimeSourceText() const;
    // The further sources whose records were found beside the loaded one
    // (their headings compared in the session summary); empty for one source.
    QString FurtherSourcesText() const;
    // Where the times came from, and why a better source was left aside.
    static QString TimeSourceText(const AnalysisTimes& times);

    // The curve toggles (ID_TOGGLE_*): a curve is drawn while its counter is
    // even, so heading and pitch are on at first.
    static bool IsToggle(int id);
    void Toggle(int id);
    // 1 when the curve is on, 0 when off.
    int CheckState(int id) const;
    bool HeadingOn() const { return CheckState(kFirstToggle) == 1; }
    bool PitchOn() const { return CheckState(kFirstToggle + 1) == 1; }
    bool RollOn() const { return CheckState(kFirstToggle + 2) == 1; }
    // "时间轴": clock times under the grid lines instead of record numbers,
    // where the records have times.
    void ToggleTimeAxis() { m_bTimeAxis = !m_bTimeAxis; }
    bool TimeAxisOn() const { return m_bTimeAxis && Times().Known(); }

    // The curves switched on, on the frame given.
    void DrawCurves(CCanvas& canvas, const CPlotFrame& frame) const;
    // What the status bar says of the record drawn at device column x on the
    // frame given: its index, time, heading, pitch and roll; empty where there is none.
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
    SentenceOptions m_sentenceOptions;
    HeadingCompareSettings m_headingCompare;
    static constexpr int kFirstToggle = 32864; // ID_TOGGLE_HEADING
    static constexpr int kToggles = 5;
    struct Job;

    void Take(std::unique_ptr<CAnalysisRecords> data, const QString& path);
    // Joins the cancelled loads that have ended (all of them when wait).
    void Reap(bool wait);

    std::unique_ptr<CAnalysisRecords> m_pData;
    std::unique_ptr<Job> m_pJob;
    std::vector<std::unique_ptr<Job>> m_cancelled;
    QString m_strPath;
    int m_nToggles[kToggles] = {0, 0, 1, 1, 1}; // heading, pitch, roll, satellites, error
    bool m_bTimeAxis = false;
    std::uint64_t m_nGeneration = 0;
    QByteArray m_pictureKey;
    QImage m_picture;
};
