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
    o.value = {field, 0};
    if (field.empty())
        return;
    const double v = IsNumber(field) ? Atof(field) : std::numeric_limits<double>::infinity();
    if (!(std::fabs(v) <= std::numeric_limits<float>::max())) {
        o.validity = Validity::NotPlausible;
        return;
    }
    o.validity = Validity::Valid;
    o.value.dNumber = v;
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
    static constexpr int kFields = 16;
    explicit CCommaFields(std::string_view s) : m_s(s) { m_starts[0] = 0; }
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
    std::size_t m_starts[kFields]; // those below m_nCount are set
    int m_nCount = 1;              // field 0 starts at the start
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

// The sentence's status says its values are not to be used: the values it
// carries are Invalid (an empty field stays NotPresent).
void SetAside(SentenceReading& reading) {
    for (Observation& o : reading.arrObservations) {
        if (&o - reading.arrObservations < reading.nObservations &&
            o.validity != Validity::NotPresent)
            o.validity = Validity::Invalid;
    }
}

// Whether a valid value lies within its quantity's range.
bool Plausible(Quantity q, double v) {
    switch (q) {
    case Quantity::Heading:
    case Quantity::MagneticHeading:
    case Quantity::TrueFromMagnetic:
    case Quantity::Course:
        return v >= 0 && v < 360;
    case Quantity::Pitch:
        return v >= -90 && v <= 90;
    case Quantity::Roll:
        return v >= -180 && v <= 180;
    case Quantity::Speed:
        return v >= 0;
    case Quantity::Position:
    case Quantity::RateOfTurn:
        return true;
    }
    return true;
}

// A sentence's readers: each adds the observations of the quantities its
// sentence carries. False when the line is not that sentence after all.
using SentenceReader = bool (*)(CCommaFields& field, SentenceReading& reading,
                                const SentenceOptions& options);

// The instrument's own "$C<heading><delimiter><pitch>": fields 1 and 2 as
// ExtractFieldOf splits them (C, E, N and P separate too). Without a heading
// it is some talker's sentence ("$CCHDT").
bool ReadInstrument(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
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
bool ReadHdt(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    AddAngle(reading, Quantity::Heading, field, 1);
    return true;
}

// $--HDM,heading,M: a magnetic heading.
bool ReadHdm(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    AddAngle(reading, Quantity::MagneticHeading, field, 1);
    return true;
}

// A signed correction of comma fields n (degrees) and n + 1 (E or W); 0 when
// the field is empty, false when it is not one.
bool Correction(CCommaFields& field, int n, double* degrees) {
    Observation o;
    TakeAngleAt(field.Line(), field.Start(n), EndsCommaField, o);
    const std::string_view side = field[n + 1];
    if (o.validity == Validity::NotPresent) {
        *degrees = 0;
        return true;
    }
    if (o.validity != Validity::Valid || (side != "E" && side != "W"))
        return false;
    *degrees = side == "E" ? o.value.dNumber : -o.value.dNumber;
    return true;
}

// An angle brought into 0 <= a < 360.
double Bearing(double degrees) {
    const double a = std::fmod(degrees, 360.0);
    return a < 0 ? a + 360.0 : a;
}

// $--HDG,sensor heading,deviation,E/W,variation,E/W: the magnetic heading is
// the sensor's corrected by the deviation; with the variation known, the true
// heading it implies too (never shown as the true heading: kept for
// comparisons).
bool ReadHdg(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    Observation& magnetic = Add(reading, Quantity::MagneticHeading);
    TakeAngleAt(field.Line(), field.Start(1), EndsCommaField, magnetic);
    if (magnetic.validity != Validity::Valid)
        return true;
    double deviation = 0, variation = 0;
    if (!Correction(field, 2, &deviation)) {
        magnetic.validity = Validity::NotPlausible;
        return true;
    }
    magnetic.value.dNumber = Bearing(magnetic.value.dNumber + deviation);
    if (field[4].empty() || !Correction(field, 4, &variation))
        return true;
    Observation& implied = Add(reading, Quantity::TrueFromMagnetic);
    implied.validity = Validity::Valid;
    implied.value = {magnetic.value.text, Bearing(magnetic.value.dNumber + variation)};
    return true;
}

// $--ROT,rate,status: status V is not valid. The instrument sends its pitch
// as $GPROT; from every other talker it is the rate of turn.
bool ReadRot(CCommaFields& field, SentenceReading& reading, const SentenceOptions& options) {
    const std::string_view address = field[0];
    const bool pitch = options.bGpRotIsPitch && address.substr(1, 2) == "GP";
    AddAngle(reading, pitch ? Quantity::Pitch : Quantity::RateOfTurn, field, 1);
    if (field[2] == "V")
        SetAside(reading);
    return true;
}

// $--GGA,utc,latitude,N/S,longitude,E/W,quality,...: quality 0 is no fix,
// and its position is not taken even where the fields hold one.
bool ReadGga(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    Observation& o = Add(reading, Quantity::Position);
    const std::string_view latitude = field[2], longitude = field[4];
    if (IsNumber(latitude) && IsNumber(longitude)) {
        o.validity = field[6] == "0" ? Validity::Invalid : Validity::Valid;
        o.value = {latitude, Atof(latitude)};
        o.second = {longitude, Atof(longitude)};
        o.bSouth = field[3] == "S";
        o.bWest = field[5] == "W";
    } else if (!latitude.empty() || !longitude.empty()) {
        o.validity = field[6] == "0" ? Validity::Invalid : Validity::NotPlausible;
    } else if (field[6] == "0") {
        o.validity = Validity::Invalid;
    }
    return true;
}

// $--THS,heading,mode: A (autonomous), E (estimated), M (manual) and S
// (simulator) carry a heading, E and S shown as such; V or no mode does not.
bool ReadThs(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    AddAngle(reading, Quantity::Heading, field, 1);
    const std::string_view mode = field[2];
    if (mode == "E" || mode == "S")
        reading.status = mode;
    else if (mode != "A" && mode != "M")
        SetAside(reading);
    return true;
}

// Heading, pitch and roll in comma fields h, p and r (0: the sentence has no
// such field); set aside unless the sentence's status says it has a solution.
void AddAttitude(SentenceReading& reading, CCommaFields& field, int h, int p, int r,
                 bool solution) {
    const Quantity quantities[] = {Quantity::Heading, Quantity::Pitch, Quantity::Roll};
    const int fields[] = {h, p, r};
    for (int i = 0; i < 3; ++i) {
        if (fields[i] > 0)
            AddAngle(reading, quantities[i], field, fields[i]);
    }
    if (!solution)
        SetAside(reading);
}

// $--HPR,utc,heading,pitch,roll,quality,satellites,age,station: quality 0 is
// no solution.
bool ReadHpr(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    AddAttitude(reading, field, 2, 3, 4, field[5] != "0");
    return true;
}

// Hemisphere: $PSAT,HPR,utc,heading,pitch,roll,type; type N is the GNSS
// solution, G the gyro's, coasting.
bool ReadPsatHpr(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    AddAttitude(reading, field, 3, 4, 5, true);
    reading.status = field[6];
    return true;
}

// OxTS, Trimble, Hemisphere: $PASHR,utc,heading,T,roll,pitch,heave,roll
// accuracy,pitch accuracy,heading accuracy,aiding status,IMU status. The
// other $PASHR forms carry a word, not "T", in the third field, and no
// attitude.
bool ReadPashr(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    if (field[3] != "T")
        return true;
    AddAttitude(reading, field, 2, 5, 4, true);
    // The last two fields, as sent: "1,1".
    const std::size_t from = field.Start(10);
    if (from != kNoField) {
        std::string_view rest = field.Line().substr(from);
        rest = rest.substr(0, rest.find_first_of("*\r\n"));
        reading.status = rest;
    }
    return true;
}

// SkyTraq dual-antenna RTK: $PSTI,036,utc,date,heading,pitch,roll,mode; mode
// N is no solution.
bool ReadPsti036(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    const std::string_view mode = field[7];
    AddAttitude(reading, field, 4, 5, 6, !mode.empty() && mode != "N");
    reading.status = mode;
    return true;
}

// Trimble two-antenna: $PTNL,AVR,utc,yaw,Yaw,tilt,Tilt,roll,Roll,range,
// quality,pdop,satellites. The yaw is the heading (given from -180 to 180 by
// some: brought into 0..360), the tilt the pitch; quality 0 is no solution.
bool ReadPtnlAvr(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    AddAttitude(reading, field, 3, 5, field[7].empty() ? 0 : 7, field[10] != "0");
    Observation& yaw = reading.arrObservations[0];
    if (yaw.validity == Validity::Valid && yaw.value.dNumber < 0 && yaw.value.dNumber >= -180)
        yaw.value.dNumber += 360;
    return true;
}

// $--XDR,type,value,unit,name repeated: angular transducers (type A, unit D)
// named PTCH, PITCH or TRIM give the pitch, ROLL or HEEL the roll; the first
// of each counts. Other transducers say nothing.
bool ReadXdr(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    bool pitch = false, roll = false;
    for (int n = 1; n + 3 < CCommaFields::kFields && field.Start(n + 3) != kNoField; n += 4) {
        if (field[n] != "A" || field[n + 2] != "D")
            continue;
        const std::string_view name = field[n + 3];
        if (!pitch && (name == "PTCH" || name == "PITCH" || name == "TRIM")) {
            pitch = true;
            AddAngle(reading, Quantity::Pitch, field, n + 1);
        } else if (!roll && (name == "ROLL" || name == "HEEL")) {
            roll = true;
            AddAngle(reading, Quantity::Roll, field, n + 1);
        }
    }
    return true;
}

// $--VTG,course,T,course,M,speed,N,speed,K,mode: the true course and the
// speed in knots; mode N is not valid.
bool ReadVtg(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    AddAngle(reading, Quantity::Course, field, 1);
    AddAngle(reading, Quantity::Speed, field, 5);
    if (field[9] == "N")
        SetAside(reading);
    return true;
}

// $--RMC,utc,status,latitude,N/S,longitude,E/W,speed,course,...: course and
// speed over ground (the position comes from GGA); status V is not valid.
bool ReadRmc(CCommaFields& field, SentenceReading& reading, const SentenceOptions&) {
    AddAngle(reading, Quantity::Course, field, 8);
    AddAngle(reading, Quantity::Speed, field, 7);
    if (field[2] != "A")
        SetAside(reading);
    return true;
}

struct SentenceKind {
    std::string_view name;
    SentenceReader read;
};

// The sentences read from a talker or a maker, besides the instrument's own.
constexpr SentenceKind kSentences[] = {
    {"HDT", ReadHdt},     {"ROT", ReadRot},          {"GGA", ReadGga},
    {"THS", ReadThs},     {"HPR", ReadHpr},          {"PSAT,HPR", ReadPsatHpr},
    {"PASHR", ReadPashr}, {"PSTI,036", ReadPsti036}, {"PTNL,AVR", ReadPtnlAvr},
    {"XDR", ReadXdr},     {"HDG", ReadHdg},          {"HDM", ReadHdm},
    {"VTG", ReadVtg},     {"RMC", ReadRmc},
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

SentenceReading ReadSentence(std::string_view text, const SentenceOptions& options) {
    SentenceReading reading;
    if (!text.empty() && text[0] == '\\') {
        reading.tag = ReadTagBlock(text);
        if (reading.tag.state != TagBlock::State::Holds) {
            reading.checksum = SentenceReading::Checksum::Fails;
            return reading;
        }
        text.remove_prefix(reading.tag.nLength);
    }
    if (text.size() < 2 || text[0] != '$')
        return reading;
    if (!ChecksumHolds(text)) {
        reading.checksum = SentenceReading::Checksum::Fails;
        return reading;
    }
    std::size_t length = text.size();
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r'))
        --length;
    reading.bOverlong = length + 2 > SentenceReading::kMaxSentence;
    CCommaFields field(text);
    // The instrument's own first: a talker may begin with C too.
    if (text[1] != 'C' || !ReadInstrument(field, reading, options)) {
        const std::string_view address = field[0].substr(1);
        const bool plain = address.size() == 5; // a talker and three letters
        for (const SentenceKind& kind : kSentences) {
            if (kind.name.size() == 3 ? !plain || address[2] != kind.name[0] ||
                                            address[3] != kind.name[1] || address[4] != kind.name[2]
                                      : !IsCalled(kind.name, address, field))
                continue;
            if (kind.read(field, reading, options))
                break;
        }
    }
    for (Observation& o : reading.arrObservations) {
        if (&o - reading.arrObservations < reading.nObservations && o.validity == Validity::Valid &&
            !Plausible(o.quantity, o.value.dNumber))
            o.validity = Validity::NotPlausible;
    }
    return reading;
}

const char* QuantityName(Quantity q) {
    static const char* const kNames[kQuantities] = {
        "heading",      "pitch",  "roll", "position", "magnetic-heading", "true-from-magnetic",
        "rate-of-turn", "course", "speed"};
    const auto i = static_cast<int>(q);
    return i >= 0 && i < kQuantities ? kNames[i] : "";
}
