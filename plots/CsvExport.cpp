#include "plots/CsvExport.h"

#include "link/EventLog.h"
#include "link/RecordTimes.h"
#include "platform/UiText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace {
constexpr std::size_t kBlockSize = 1u << 20;

// Digits of a whole number below 10^18, written backwards from end.
char* Digits(std::uint64_t n, char* end) {
    do {
        *--end = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n);
    return end;
}

// A float in its shortest round-trip form; nothing for NaN (not received).
// The instrument's angles have a few decimals: those are written from an
// integer, the fewest decimals that read back as the value, which are the
// very characters std::to_chars gives, several times quicker. Below 65536
// with at most three decimals the plain form is never longer than the
// exponent form, and a decimal that near reaches the float through a double
// without a second rounding going astray.
char* Value(float value, char* out) {
    if (std::isnan(value))
        return out;
    const double v = value;
    if (std::fabs(v) < 65536) {
        static constexpr double kScale[] = {1, 10, 100, 1000};
        for (int decimals = 0; decimals <= 3; ++decimals) {
            const double scaled = std::nearbyint(v * kScale[decimals]); // the product is exact
            if (static_cast<float>(scaled / kScale[decimals]) != value)
                continue;
            char digits[24];
            char* const end = digits + sizeof digits;
            char* first = Digits(static_cast<std::uint64_t>(std::fabs(scaled)), end);
            while (end - first <= decimals)
                *--first = '0';
            if (std::signbit(value))
                *out++ = '-';
            char* const point = end - decimals;
            out = std::copy(first, point, out);
            if (decimals > 0) {
                *out++ = '.';
                out = std::copy(point, end, out);
            }
            return out;
        }
    }
    return std::to_chars(out, out + 32, value).ptr;
}
} // namespace

CCsvRows::CCsvRows(const std::vector<AnalysisSample>& records, const AnalysisTimes& times)
    : m_records(records), m_times(times), m_bTimes(times.Known()),
      m_bRoll(times.source != RecordTimeSource::None) {}

char* CCsvRows::Time(std::int64_t utcMs, char* out) {
    // Floor division: a time before 1970 still reads as a proper clock time.
    std::int64_t day = utcMs / kMsPerDay;
    if (utcMs % kMsPerDay < 0)
        --day;
    if (day != m_nDay) {
        const auto seconds = static_cast<std::time_t>(day * 86400);
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        const int length = std::snprintf(m_szDay, sizeof m_szDay, "%04d-%02d-%02dT",
                                         utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday);
        m_nDayLength = std::min(static_cast<std::size_t>(length), sizeof m_szDay - 1);
        m_nDay = day;
    }
    if (m_nDayLength == kDayLength) {
        std::memcpy(out, m_szDay, kDayLength); // the usual length, copied inline
        out += kDayLength;
    } else {
        out = std::copy_n(m_szDay, m_nDayLength, out);
    }
    auto ms = static_cast<int>(utcMs - day * kMsPerDay);
    const auto two = [&out](int value) {
        *out++ = static_cast<char>('0' + value / 10);
        *out++ = static_cast<char>('0' + value % 10);
    };
    two(ms / 3600000);
    *out++ = ':';
    two(ms / 60000 % 60);
    *out++ = ':';
    two(ms / 1000 % 60);
    *out++ = '.';
    ms %= 1000;
    *out++ = static_cast<char>('0' + ms / 100);
    two(ms % 100);
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

std::vector<KeptFile> RecordingFiles(const std::string& path) {
    const std::string times = CRecordTimesWriter::PathFor(path);
    const std::string stem = times.substr(0, times.size() - std::strlen("-times.bin"));
    return {{path, UiText("CsvExport", "载入的文件")},
            {times, UiText("CsvExport", "载入文件的计时文件")},
            {stem + "-raw.bin", UiText("CsvExport", "载入文件的原始数据文件")},
            {CEventLog::PathFor(path), UiText("CsvExport", "载入文件的事件日志")}};
}

std::string ExportAnalysisCsv(const std::string& path, const std::vector<AnalysisSample>& records,
                              const AnalysisTimes& times, std::vector<KeptFile> kept) {
    CReplacingFile file;
    if (!file.Open(path, std::move(kept)))
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
