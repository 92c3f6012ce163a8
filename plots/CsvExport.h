// The loaded records as CSV, for spreadsheets and scripts: the header
// "index,time,heading,pitch,roll", then one row a record. time is UTC in
// ISO 8601 with milliseconds ("2026-12-07T09:05:03.125Z", as the event log
// writes it), empty where the recording has no times. Numbers are written in
// the shortest form that reads back as the same float. A value not received
// (NaN) is left empty, as is roll throughout a file of the instrument's own
// "$C" sentences (no times: RecordTimeSource::None), which carry no roll.
// Plain C++.
#pragma once

#include "platform/ReplacingFile.h"
#include "plots/Samples.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr char kCsvHeader[] = "index,time,heading,pitch,roll\n";

// Formats one row at a time into the caller's buffer; nothing is allocated.
class CCsvRows {
public:
    static constexpr std::size_t kMaxRow = 128; // a row never takes more

    CCsvRows(const std::vector<AnalysisSample>& records, const AnalysisTimes& times);
    std::size_t Count() const { return m_records.size(); }
    // Writes row i, its line feed included, at out (kMaxRow bytes of room);
    // returns where it ends.
    char* Row(std::size_t i, char* out);

private:
    char* Time(std::int64_t utcMs, char* out);

    const std::vector<AnalysisSample>& m_records;
    const AnalysisTimes& m_times;
    bool m_bTimes, m_bRoll;
    // Rows of the same day share "YYYY-MM-DDT", made once.
    static constexpr std::int64_t kMsPerDay = 86400000;
    static constexpr std::size_t kDayLength = 11; // a year of four digits
    std::int64_t m_nDay = INT64_MIN;
    char m_szDay[32] = {};
    std::size_t m_nDayLength = 0;
};

// The whole CSV in memory (small exports, tests).
std::string AnalysisCsv(const std::vector<AnalysisSample>& records, const AnalysisTimes& times);
// The files of the recording loaded from path that no export may take the
// place of: the file itself, and beside it its timing file, its raw capture
// ("X-raw.bin") and its event log, whether they are there or not.
std::vector<KeptFile> RecordingFiles(const std::string& path);
// Writes the CSV to path in large blocks, one write each, taking the place of
// a file there only once complete (platform/ReplacingFile.h), unless it is
// one of kept. Empty when written, else what went wrong, for the operator.
std::string ExportAnalysisCsv(const std::string& path, const std::vector<AnalysisSample>& records,
                              const AnalysisTimes& times, std::vector<KeptFile> kept = {});
