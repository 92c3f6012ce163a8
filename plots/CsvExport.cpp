#include "plots/CsvExport.h"

#include "platform/ReplacingFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace {
constexpr std::size_t kBlockSize = 1u << 20;

// A float in its shortest round-trip form; nothing for NaN (not received).
char* Value(float value, char* out) {
    if (std::isnan(value))
        return out;
    return std::to_chars(out, out + 32, value).ptr;
}
} // namespace

CCsvRows::CCsvRows(const std::vector<AnalysisSample>& records, const AnalysisTimes& times)
    : m_records(records), m_times(times), m_bTimes(times.Known()),
      m_bRoll(times.source != RecordTimeSource::None) {}

char* CCsvRows::Time(std::int64_t utcMs, char* out) {
    // Floor division: a time before 1970 still reads as a proper clock time.
    std::int64_t second = utcMs / 1000;
    if (utcMs % 1000 < 0)
        --second;
    const auto ms = static_cast<int>(utcMs - second * 1000);
    if (second != m_nSecond) {
        const auto seconds = static_cast<std::time_t>(second);
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        const int length = std::snprintf(
            m_szSecond, sizeof m_szSecond, "%04d-%02d-%02dT%02d:%02d:%02d.", utc.tm_year + 1900,
            utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
        m_nSecondLength = std::min<std::size_t>(static_cast<std::size_t>(length), 24);
        m_nSecond = second;
    }
    std::memcpy(out, m_szSecond, m_nSecondLength);
    out += m_nSecondLength;
    *out++ = static_cast<char>('0' + ms / 100);
    *out++ = static_cast<char>('0' + ms / 10 % 10);
    *out++ = static_cast<char>('0' + ms % 10);
    *out++ = 'Z';
    return out;
}

char* CCsvRows::Row(std::size_t i, char* out) {
    const AnalysisSample& record = m_records[i];
    out = std::to_chars(out, out + 24, i).ptr;
    *out++ = ',';
    if (m_bTimes && i < m_times.arrOffsetMs.size())
        out = Time(m_times.UtcMs(i), out);
    *out++ = ',';
    out = Value(record.fHeading, out);
    *out++ = ',';
    out = Value(record.fPitch, out);
    *out++ = ',';
    if (m_bRoll)
        out = Value(record.fSpare1, out);
    *out++ = '\n';
    return out;
}

std::string AnalysisCsv(const std::vector<AnalysisSample>& records, const AnalysisTimes& times) {
    std::string csv = kCsvHeader;
    CCsvRows rows(records, times);
    char row[CCsvRows::kMaxRow];
    for (std::size_t i = 0; i < rows.Count(); ++i)
        csv.append(row, rows.Row(i, row));
    return csv;
}

std::string ExportAnalysisCsv(const std::string& path, const std::vector<AnalysisSample>& records,
                              const AnalysisTimes& times) {
    CReplacingFile file;
    if (!file.Open(path))
        return file.ErrorText();
    const auto block = std::make_unique<char[]>(kBlockSize);
    char* const begin = block.get();
    char* const full = begin + kBlockSize - CCsvRows::kMaxRow;
    char* p = begin;
    p = std::copy_n(kCsvHeader, sizeof kCsvHeader - 1, p);
    CCsvRows rows(records, times);
    for (std::size_t i = 0; i < rows.Count(); ++i) {
        p = rows.Row(i, p);
        if (p >= full) {
            if (!file.Write({begin, static_cast<std::size_t>(p - begin)}))
                return file.ErrorText();
            p = begin;
        }
    }
    if (!file.Write({begin, static_cast<std::size_t>(p - begin)}) || !file.Commit())
        return file.ErrorText();
    return {};
}
