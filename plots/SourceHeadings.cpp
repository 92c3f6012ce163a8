#include "plots/SourceHeadings.h"

#include "link/RecordReader.h"
#include "link/ReplaySource.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// The valid true headings of one record, one at a time.
class CHeadingStream {
public:
    CHeadingStream(const std::string& path, const SentenceOptions& options) : m_options(options) {
        m_bOpen = m_reader.Open(path, &m_strError);
        Advance();
    }
    bool Open() const { return m_bOpen; }
    const std::string& Error() const { return m_strError; }
    // The next heading and its receive time; none at the end.
    const std::optional<std::pair<std::int64_t, double>>& Next() const { return m_next; }
    void Advance() {
        m_next.reset();
        RecordMessage message;
        while (m_bOpen && m_reader.Next(&message)) {
            if (message.bPacket)
                continue;
            const SentenceReading reading = ReadSentence(message.bytes, m_options);
            if (const Observation* heading = reading.Valid(Quantity::Heading)) {
                m_next.emplace(message.nUtcMs, heading->value.dNumber);
                return;
            }
        }
    }

private:
    SentenceOptions m_options;
    CRecordReader m_reader;
    std::string m_strError;
    bool m_bOpen = false;
    std::optional<std::pair<std::int64_t, double>> m_next;
};

constexpr CHeadingCompare::Track kFirst{0, false};
constexpr CHeadingCompare::Track kFurther{1, false};

bool Compare(const std::string& firstPath, HeadingAgreement& out,
             const HeadingCompareSettings& settings, const SentenceOptions& options,
             const std::atomic<bool>* cancel) {
    CHeadingStream first(firstPath, options), further(out.strPath, options);
    if (!further.Open()) {
        out.strError = further.Error();
        return true;
    }
    CHeadingCompare compare;
    compare.SetSettings(settings);
    out.dLimit = settings.limit;
    double sumAbs = 0;
    std::int64_t lastAtMs = 0;
    bool lastBeyond = false;
    std::uint64_t steps = 0;
    while (first.Next() || further.Next()) {
        if ((++steps & 0xFFF) == 0 && cancel && cancel->load(std::memory_order_relaxed))
            return false;
        const bool fromFirst =
            first.Next() && (!further.Next() || first.Next()->first <= further.Next()->first);
        CHeadingStream& stream = fromFirst ? first : further;
        const auto [atMs, heading] = *stream.Next();
        stream.Advance();
        out.nHeadings += !fromFirst;
        compare.Observe(fromFirst ? kFirst : kFurther, heading, atMs);
        compare.Tick(atMs);
        if (compare.Pairs().empty())
            continue;
        CHeadingCompare::Pair& pair = compare.Pairs().front();
        for (const CAlert::Change& change : pair.alert.TakeChanges())
            out.nAlarms += change.to == AlertState::ActiveUnacknowledged;
        if (pair.atMs == 0 || pair.atMs == lastAtMs)
            continue; // no new comparison
        // The pair's difference is a - b; this source's against the first's.
        const double delta = pair.a == kFurther ? pair.delta : -pair.delta;
        if (out.nCompared > 0 && lastBeyond)
            out.nBeyondMs += std::min(pair.atMs - lastAtMs, settings.maxAgeMs);
        ++out.nCompared;
        sumAbs += std::fabs(delta);
        if (std::fabs(delta) > std::fabs(out.dLargest) || out.nCompared == 1) {
            out.dLargest = delta;
            out.nLargestUtcMs = pair.atMs;
        }
        lastAtMs = pair.atMs;
        lastBeyond = std::fabs(delta) >= settings.limit;
    }
    if (lastBeyond)
        out.nBeyondMs += settings.maxAgeMs; // held, at most until it went stale
    out.dMeanAbs = out.nCompared ? sumAbs / static_cast<double>(out.nCompared) : 0;
    return true;
}

} // namespace

std::vector<HeadingAgreement> CompareRecordedHeadings(const std::string& firstRecordPath,
                                                      const HeadingCompareSettings& settings,
                                                      const SentenceOptions& options,
                                                      const std::atomic<bool>* cancel) {
    std::vector<HeadingAgreement> agreements;
    for (const FurtherRecord& record : FurtherRecords(firstRecordPath)) {
        HeadingAgreement agreement;
        agreement.strLabel = record.strLabel;
        agreement.strPath = record.strPath;
        if (!Compare(firstRecordPath, agreement, settings, options, cancel))
            return {};
        agreements.push_back(std::move(agreement));
    }
    return agreements;
}
