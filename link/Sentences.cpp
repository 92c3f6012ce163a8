#include "link/Sentences.h"

#include "link/NumberText.h"

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
// range of float.
void TakeAngle(std::string_view field, Observation& o) {
    if (!IsNumber(field))
        return;
    const double v = Atof(field);
    if (std::fabs(v) > std::numeric_limits<float>::max())
        return;
    o.validity = Validity::Valid;
    o.value = {field, v};
}

// The same for the field of line that starts at `at` (kNoField: none) and
// runs to the first character `ends` says ends it. A plain decimal followed by
// such a character is the whole field, and reads as Atof reads it, within
// float's range (15 digits at most): its end is not looked for.
template <class Ends>
void TakeAngleAt(std::string_view line, std::size_t at, Ends ends, Observation& o) {
    if (at > line.size())
        return;
    const char* const begin = line.data() + at;
    const char* const end = line.data() + line.size();
    double v = 0;
    if (const char* stop = ReadPlainDecimal(begin, end, &v); stop && (stop == end || ends(*stop))) {
        o.validity = Validity::Valid;
        o.value = {{begin, static_cast<std::size_t>(stop - begin)}, v};
        return;
    }
    const char* stop = begin;
    while (stop < end && !ends(*stop))
        ++stop;
    TakeAngle({begin, static_cast<std::size_t>(stop - begin)}, o);
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

// A new observation of q, not present until a reader finds its value.
Observation& Add(SentenceReading& reading, Quantity q) {
    Observation& o = reading.arrObservations[reading.nObservations++];
    o.quantity = q;
    return o;
}

// The angle in comma field n.
void AddAngle(SentenceReading& reading, Quantity q, CCommaFields& field, int n) {
    TakeAngleAt(field.Line(), field.Start(n), EndsCommaField, Add(reading, q));
}

// A sentence's readers: each adds the observations of the quantities its
// sentence carries. False when the line is not that sentence after all.
using SentenceReader = bool (*)(CCommaFields& field, SentenceReading& reading);

// The instrument's own "$C<heading><delimiter><pitch>": fields 1 and 2 as
// ExtractFieldOf splits them (C, E, N and P separate too). Without a heading
// it is some talker's sentence ("$CCHDT").
bool ReadInstrument(CCommaFields& field, SentenceReading& reading) {
    const std::string_view text = field.Line();
    Observation heading;
    TakeAngleAt(text, 2, EndsInstrumentField, heading);
    if (heading.validity != Validity::Valid)
        return false;
    Add(reading, Quantity::Heading) = heading;
    Observation& pitch = Add(reading, Quantity::Pitch);
    // Field 2 follows the delimiter that ended field 1; after a line end it
    // is looked for as ExtractFieldOf does.
    const std::string_view first = heading.value.text;
    const auto after = static_cast<std::size_t>(first.data() - text.data()) + first.size();
    if (after < text.size() && IsFieldDelimiter(text[after]))
        TakeAngleAt(text, after + 1, EndsInstrumentField, pitch);
    else
        TakeAngle(ExtractFieldOf(text, 2), pitch);
    return true;
}

// $--HDT,heading,T
bool ReadHdt(CCommaFields& field, SentenceReading& reading) {
    AddAngle(reading, Quantity::Heading, field, 1);
    return true;
}

// $--ROT,rate,status: the instrument sends its pitch in it.
bool ReadRot(CCommaFields& field, SentenceReading& reading) {
    AddAngle(reading, Quantity::Pitch, field, 1);
    return true;
}

// $--GGA,utc,latitude,N/S,longitude,E/W,quality,...: without a fix the fields
// are empty, and that is no position.
bool ReadGga(CCommaFields& field, SentenceReading& reading) {
    Observation& o = Add(reading, Quantity::Position);
    const std::string_view latitude = field[2], longitude = field[4];
    if (IsNumber(latitude) && IsNumber(longitude)) {
        o.validity = Validity::Valid;
        o.value = {latitude, Atof(latitude)};
        o.second = {longitude, Atof(longitude)};
    }
    return true;
}

// $--THS,heading,mode: mode V is a heading that is not valid.
bool ReadThs(CCommaFields& field, SentenceReading& reading) {
    if (field[2] == "V")
        Add(reading, Quantity::Heading);
    else
        AddAngle(reading, Quantity::Heading, field, 1);
    return true;
}

// Heading, pitch and roll in comma fields h, p and r, unless the sentence's
// status says there is no solution.
void AddAttitude(SentenceReading& reading, CCommaFields& field, int h, int p, int r,
                 bool solution) {
    const Quantity quantities[] = {Quantity::Heading, Quantity::Pitch, Quantity::Roll};
    const int fields[] = {h, p, r};
    for (int i = 0; i < 3; ++i) {
        if (solution)
            AddAngle(reading, quantities[i], field, fields[i]);
        else
            Add(reading, quantities[i]);
    }
}

// $--HPR,utc,heading,pitch,roll,quality,satellites,age,station: quality 0 is
// no solution.
bool ReadHpr(CCommaFields& field, SentenceReading& reading) {
    AddAttitude(reading, field, 2, 3, 4, field[5] != "0");
    return true;
}

// Hemisphere: $PSAT,HPR,utc,heading,pitch,roll,type.
bool ReadPsatHpr(CCommaFields& field, SentenceReading& reading) {
    AddAttitude(reading, field, 3, 4, 5, true);
    return true;
}

// OxTS, Trimble, Hemisphere: $PASHR,utc,heading,T,roll,pitch,heave,... The
// other $PASHR forms carry a word, not "T", in the third field, and no attitude.
bool ReadPashr(CCommaFields& field, SentenceReading& reading) {
    if (field[3] == "T")
        AddAttitude(reading, field, 2, 5, 4, true);
    return true;
}

struct SentenceKind {
    std::string_view name;
    SentenceReader read;
};

constexpr std::string_view kInstrument = "C";

// The sentences read, in the order they are tried: the instrument's own
// first, since a talker may begin with C too.
constexpr SentenceKind kSentences[] = {
    {kInstrument, ReadInstrument},
    {"HDT", ReadHdt},
    {"ROT", ReadRot},
    {"GGA", ReadGga},
    {"THS", ReadThs},
    {"HPR", ReadHpr},
    {"PSAT,HPR", ReadPsatHpr},
    {"PASHR", ReadPashr},
};

// Whether the sentence of `address` (field 0 without "$") is called `name`:
// three letters after a talker of two, or a proprietary address and its
// sub-type.
bool IsCalled(std::string_view name, std::string_view address, CCommaFields& field) {
    if (name.size() == 3)
        return address.size() == 5 && address.substr(2) == name;
    const std::size_t comma = name.find(',');
    if (comma == std::string_view::npos)
        return address == name;
    return address == name.substr(0, comma) && field[1] == name.substr(comma + 1);
}
} // namespace

SentenceReading ReadSentence(std::string_view text) {
    SentenceReading reading;
    if (text.size() < 2 || text[0] != '$')
        return reading;
    if (!ChecksumHolds(text)) {
        reading.checksum = SentenceReading::Checksum::Fails;
        return reading;
    }
    CCommaFields field(text);
    std::string_view address; // read when first needed
    for (const SentenceKind& kind : kSentences) {
        if (kind.name == kInstrument) {
            if (text[1] != 'C')
                continue;
        } else {
            if (address.data() == nullptr)
                address = field[0].substr(1);
            if (!IsCalled(kind.name, address, field))
                continue;
        }
        if (kind.read(field, reading))
            break;
    }
    return reading;
}
