#include "link/MonitorState.h"

#include "link/NumberText.h"
#include "link/ReceiverMessage.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
constexpr std::size_t kNoField = std::string_view::npos;

// Where a comma field ends (CommaField), and a field of the instrument's own
// sentence (ExtractFieldOf).
// (Objects, not functions: TakeAngleAt is made for each and calls it inline.)
constexpr auto EndsCommaField = [](char c) {
    return c == ',' || c == '*' || c == '\r' || c == '\n';
};
constexpr auto EndsInstrumentField = [](char c) {
    return IsFieldDelimiter(c) || c == '\r' || c == '\n';
};

// Keeps a field that holds an angle the samples can keep: a number within the
// range of float (a reading of 1e39 would be an infinity on the curves).
void TakeAngle(std::string_view field, std::string_view* text, double* value) {
    if (!IsNumber(field))
        return;
    const double v = Atof(field);
    if (std::fabs(v) > std::numeric_limits<float>::max())
        return;
    *text = field;
    *value = v;
}

// The same for the field of line that starts at `at` (kNoField: none) and
// runs to the first character `ends` says ends it. A plain decimal followed by
// such a character is the whole field, and reads as Atof reads it, within
// float's range (15 digits at most): its end is not looked for.
template <class Ends>
void TakeAngleAt(std::string_view line, std::size_t at, Ends ends, std::string_view* text,
                 double* value) {
    if (at > line.size())
        return;
    const char* const begin = line.data() + at;
    const char* const end = line.data() + line.size();
    double v = 0;
    if (const char* stop = ReadPlainDecimal(begin, end, &v); stop && (stop == end || ends(*stop))) {
        *text = {begin, static_cast<std::size_t>(stop - begin)};
        *value = v;
        return;
    }
    const char* stop = begin;
    while (stop < end && !ends(*stop))
        ++stop;
    TakeAngle({begin, static_cast<std::size_t>(stop - begin)}, text, value);
}

// The comma fields of a sentence, as CommaField gives them: where each starts
// is found from where the one before started, eight bytes at a time.
class CCommaFields {
public:
    static constexpr int kFields = 6;
    explicit CCommaFields(std::string_view s) : m_s(s) {}
    std::string_view Line() const { return m_s; }
    // Where field n starts; kNoField when the sentence has fewer.
    std::size_t Start(int n) {
        // The commas of a word are the set bits of a mask, exact for every
        // byte: a long field costs no branch a byte.
        constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
        constexpr std::uint64_t kCommas = 0x2C2C2C2C2C2C2C2Cull;
        while (m_nCount <= n && m_nCount < kFields && m_nScanned + 8 <= m_s.size()) {
            std::uint64_t word;
            std::memcpy(&word, m_s.data() + m_nScanned, 8);
            const std::uint64_t x = word ^ kCommas; // a comma is a zero byte
            std::uint64_t commas = ~(((x & kLow7) + kLow7) | x | kLow7);
            while (commas != 0 && m_nCount <= n && m_nCount < kFields) {
                m_starts[m_nCount++] = m_nScanned + std::countr_zero(commas) / 8 + 1;
                commas &= commas - 1;
            }
            // Go on after the last comma taken, or after the word.
            m_nScanned = commas != 0 ? m_starts[m_nCount - 1] : m_nScanned + 8;
        }
        while (m_nCount <= n && m_nCount < kFields && m_nScanned < m_s.size()) {
            if (m_s[m_nScanned++] == ',')
                m_starts[m_nCount++] = m_nScanned;
        }
        return n < m_nCount ? m_starts[n] : kNoField;
    }
    std::string_view operator[](int n) {
        const std::size_t start = Start(n);
        if (start == kNoField)
            return {};
        std::size_t end = start;
        while (end < m_s.size() && !EndsCommaField(m_s[end]))
            ++end;
        return m_s.substr(start, end - start);
    }

private:
    std::string_view m_s;
    std::size_t m_starts[kFields] = {0};
    int m_nCount = 1; // field 0 starts at the start
    std::size_t m_nScanned = 0;
};

// text = field. A number's field mostly keeps its length from one message to
// the next: then its bytes are copied in place, without assign's general path
// (which cost the session a fifth of its time).
void AssignText(std::string& text, std::string_view field) {
    if (text.size() == field.size())
        std::memcpy(text.data(), field.data(), field.size());
    else
        text.assign(field);
}

AttitudeFields Finished(AttitudeFields fields) {
    if (!fields.heading.empty() || !fields.pitch.empty() || !fields.roll.empty())
        fields.kind = AttitudeFields::Kind::Angles;
    return fields;
}

// Heading, pitch and roll from comma fields (-1: the sentence carries none).
AttitudeFields Angles(CCommaFields& field, int heading, int pitch, int roll) {
    AttitudeFields fields;
    const int numbers[] = {heading, pitch, roll};
    std::string_view* const texts[] = {&fields.heading, &fields.pitch, &fields.roll};
    double* const values[] = {&fields.dHeading, &fields.dPitch, &fields.dRoll};
    for (int i = 0; i < 3; ++i) {
        if (numbers[i] >= 0)
            TakeAngleAt(field.Line(), field.Start(numbers[i]), EndsCommaField, texts[i], values[i]);
    }
    return Finished(fields);
}

// The instrument's own "$C<heading><delimiter><pitch>": fields 1 and 2 as
// ExtractFieldOf splits them.
AttitudeFields InstrumentAngles(std::string_view text) {
    AttitudeFields fields;
    TakeAngleAt(text, 2, EndsInstrumentField, &fields.heading, &fields.dHeading);
    if (fields.heading.empty())
        return fields;
    // Field 2 follows the delimiter that ended field 1; after a line end it
    // is looked for as ExtractFieldOf does.
    const auto after =
        static_cast<std::size_t>(fields.heading.data() - text.data()) + fields.heading.size();
    if (after < text.size() && IsFieldDelimiter(text[after]))
        TakeAngleAt(text, after + 1, EndsInstrumentField, &fields.pitch, &fields.dPitch);
    else
        TakeAngle(ExtractFieldOf(text, 2), &fields.pitch, &fields.dPitch);
    return Finished(fields);
}

AttitudeFields Position(std::string_view latitude, std::string_view longitude) {
    AttitudeFields fields;
    // Without a fix the fields are empty: that is no position.
    if (!IsNumber(latitude) || !IsNumber(longitude))
        return fields;
    fields.kind = AttitudeFields::Kind::Position;
    fields.latitude = latitude;
    fields.longitude = longitude;
    fields.dLatitude = Atof(latitude);
    fields.dLongitude = Atof(longitude);
    return fields;
}
} // namespace

AttitudeFields ReadAttitudeFields(std::string_view text) {
    if (text.size() < 2 || text[0] != '$')
        return {};
    if (!ChecksumHolds(text)) {
        AttitudeFields bad;
        bad.kind = AttitudeFields::Kind::BadChecksum;
        return bad;
    }
    // The instrument's own sentence: "$C" and a number. Its fields are split
    // as the instrument writes them (C, E, N and P separate too).
    // (A talker that begins with C, "$CCHDT", goes on below.)
    if (text[1] == 'C') {
        AttitudeFields fields = InstrumentAngles(text);
        if (!fields.heading.empty())
            return fields;
    }
    CCommaFields field(text);
    const std::string_view address = field[0].substr(1);
    // Proprietary sentences. Hemisphere: $PSAT,HPR,utc,heading,pitch,roll,type.
    if (address == "PSAT") {
        if (field[1] != "HPR")
            return {};
        return Angles(field, 3, 4, 5);
    }
    // OxTS, Trimble, Hemisphere: $PASHR,utc,heading,T,roll,pitch,heave,... The
    // other $PASHR forms carry a word, not "T", in the third field.
    if (address == "PASHR") {
        if (field[3] != "T")
            return {};
        return Angles(field, 2, 5, 4);
    }
    // "$ttSSS": a talker of two letters, then the sentence.
    if (address.size() != 5)
        return {};
    const std::string_view sentence = address.substr(2);
    if (sentence == "GGA")
        return Position(field[2], field[4]);
    if (sentence == "HDT")
        return Angles(field, 1, -1, -1);
    if (sentence == "ROT")
        return Angles(field, -1, 1, -1);
    // $--THS,heading,mode: mode V is a heading that is not valid.
    if (sentence == "THS") {
        if (field[2] == "V")
            return {};
        return Angles(field, 1, -1, -1);
    }
    // $--HPR,utc,heading,pitch,roll,quality,satellites,age,station: quality 0
    // is no solution.
    if (sentence == "HPR") {
        if (field[5] == "0")
            return {};
        return Angles(field, 2, 3, 4);
    }
    return {};
}

std::string_view CMonitorState::MessageText(const CReceiverMessage& message) {
    return message.m_bTextLine ? message.Bytes() : message.Payload();
}

CMonitorState::Kind CMonitorState::Interpret(const CReceiverMessage& message, std::int64_t nowMs) {
    if (!message.m_bTextLine)
        return Kind::None;
    return InterpretText(message.Bytes(), nowMs);
}

CMonitorState::Kind CMonitorState::InterpretText(std::string_view text, std::int64_t nowMs) {
    const AttitudeFields fields = ReadAttitudeFields(text);
    switch (fields.kind) {
    case AttitudeFields::Kind::BadChecksum:
        m_nChecksumFailures.fetch_add(1, std::memory_order_relaxed);
        return Kind::BadChecksum;
    case AttitudeFields::Kind::Angles:
        return ReadAttitude(fields, nowMs);
    case AttitudeFields::Kind::Position:
        return ReadPosition(fields, nowMs);
    case AttitudeFields::Kind::None:
        break;
    }
    return Kind::None;
}

CMonitorState::Kind CMonitorState::ReadAttitude(const AttitudeFields& fields, std::int64_t nowMs) {
    int found = 0;
    Kind kind = Kind::None;
    {
        std::unique_lock<std::mutex> guard(m_lock, std::defer_lock);
        if (!m_bHeld)
            guard.lock();
        const auto take = [&](std::string_view field, double value, Quantity q, Kind k,
                              std::string& text, double& kept) {
            if (field.empty())
                return;
            ++found;
            kind = k;
            AssignText(text, field);
            kept = value;
            m_values.m_nReceivedMs[static_cast<int>(q)] = nowMs;
        };
        take(fields.heading, fields.dHeading, Quantity::Heading, Kind::Heading,
             m_values.m_strHeading, m_values.m_dHeading);
        take(fields.pitch, fields.dPitch, Quantity::Pitch, Kind::Pitch, m_values.m_strPitch,
             m_values.m_dPitch);
        take(fields.roll, fields.dRoll, Quantity::Roll, Kind::Roll, m_values.m_strRoll,
             m_values.m_dRoll);
    }
    if (found == 0)
        return Kind::None;
    AppendSample(nowMs);
    return found > 1 ? Kind::Attitude : kind;
}

CMonitorState::Kind CMonitorState::ReadPosition(const AttitudeFields& fields, std::int64_t nowMs) {
    std::unique_lock<std::mutex> guard(m_lock, std::defer_lock);
    if (!m_bHeld)
        guard.lock();
    AssignText(m_values.m_strLatitude, fields.latitude);
    AssignText(m_values.m_strLongitude, fields.longitude);
    m_values.m_dLatitude = fields.dLatitude;
    m_values.m_dLongitude = fields.dLongitude;
    m_values.m_nReceivedMs[static_cast<int>(Quantity::Position)] = nowMs;
    return Kind::Position;
}

void CMonitorState::AppendSample(std::int64_t nowMs) {
    // This thread is the only writer of m_values: it reads them unlocked.
    const float none = std::nanf("");
    LiveSample sample;
    sample.fHeading =
        m_values.Received(Quantity::Heading) ? static_cast<float>(m_values.m_dHeading) : none;
    sample.fPitch =
        m_values.Received(Quantity::Pitch) ? static_cast<float>(m_values.m_dPitch) : none;
    sample.fRoll = m_values.Received(Quantity::Roll) ? static_cast<float>(m_values.m_dRoll) : none;
    const std::size_t index = m_samples.Size();
    const std::int64_t lastMs = m_nLastSampleMs.load(std::memory_order_relaxed);
    const std::size_t marks = m_times.Size();
    if (index > 0 && nowMs - lastMs > StaleMs()) {
        m_gaps.Append(index);
        if (m_times[marks - 1].index != index - 1)
            m_times.Append({index - 1, lastMs});
        m_times.Append({index, nowMs});
    } else if (marks == 0 || nowMs - m_times[marks - 1].ms >= kTimeMarkMs) {
        m_times.Append({index, nowMs});
    }
    // The time first: a reader that sees the new size interpolates up to it.
    m_nLastSampleMs.store(nowMs, std::memory_order_relaxed);
    m_samples.Append(sample);
}

std::int64_t CMonitorState::SampleTimeMs(std::size_t i) const {
    const std::size_t marks = m_times.Size();
    if (marks == 0)
        return 0;
    // The last mark at or before i, and the next one (or the newest sample).
    std::size_t low = 0, high = marks;
    while (high - low > 1) {
        const std::size_t mid = (low + high) / 2;
        (m_times[mid].index <= i ? low : high) = mid;
    }
    const SampleTimeMark before = m_times[low];
    const SampleTimeMark after =
        low + 1 < marks
            ? m_times[low + 1]
            : SampleTimeMark{m_samples.Size() - 1, m_nLastSampleMs.load(std::memory_order_relaxed)};
    std::int64_t ms = before.ms;
    if (after.index > before.index && i > before.index)
        ms += (after.ms - before.ms) * static_cast<std::int64_t>(i - before.index) /
              static_cast<std::int64_t>(after.index - before.index);
    return ms - m_times[0].ms;
}

CLiveValues CMonitorState::Values() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_values;
}

void CMonitorState::SetAlarmLimits(int pitch, int roll) {
    m_nPitchLimit.store(pitch);
    m_nRollLimit.store(roll);
}

void CMonitorState::MarkAlarm() {
    const std::size_t count = m_samples.Size();
    if (count > 0 &&
        (m_alarmMarks.Size() == 0 || m_alarmMarks[m_alarmMarks.Size() - 1] != count - 1))
        m_alarmMarks.Append(count - 1);
}

bool CMonitorState::LastAngle(Quantity q, double* angle) const {
    if (!m_values.Received(q))
        return false;
    *angle = q == Quantity::Heading ? m_values.m_dHeading
             : q == Quantity::Pitch ? m_values.m_dPitch
                                    : m_values.m_dRoll;
    return true;
}
