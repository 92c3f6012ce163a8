#include "link/Sentences.h"
#include "link/NumberText.h"
#include "tools/Simulator.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::string Nmea(const std::string& body) {
    return CInstrumentSimulator::WithNmeaChecksum(body);
}

// The same sentence with its checksum off by one.
std::string Corrupt(const std::string& body) {
    std::string line = Nmea(body);
    const std::size_t star = line.find('*');
    line[star + 2] = line[star + 2] == '0' ? '1' : '0';
    return line;
}

// What a reading says, one word per observation in the order read: a
// letter for the quantity (H heading, P pitch, R roll, X position, M magnetic
// heading, T the true heading it implies, O rate of turn, C course, S speed),
// then the field as sent ("H=200.0"), "H-" for an empty field, "H!" for a
// value its sentence sets aside, "H?" for one not plausible. A checksum that
// fails reads "bad"; the sentence's own status follows after "|".
std::string Describe(const SentenceReading& reading) {
    if (reading.checksum == SentenceReading::Checksum::Fails)
        return "bad";
    std::string out;
    for (const Observation& o : reading) {
        if (!out.empty())
            out += ' ';
        out += "HPRXMTOCS"[static_cast<int>(o.quantity)];
        switch (o.validity) {
        case Validity::NotPresent:
            out += '-';
            break;
        case Validity::Invalid:
            out += '!';
            break;
        case Validity::NotPlausible:
            out += '?';
            break;
        case Validity::Valid:
            out += '=';
            if (o.quantity == Quantity::Position)
                out += std::string(o.value.text) + '/' + std::string(o.second.text);
            else if (o.value.dNumber == Atof(o.value.text))
                out += std::string(o.value.text);
            else // a value worked out from the fields
                out += std::to_string(o.value.dNumber).substr(0, 6);
            break;
        }
    }
    if (!reading.status.empty())
        out += " |" + std::string(reading.status);
    return out;
}

TEST(Sentences, EachSentenceTellsTheQuantitiesItCarriesAndWhetherToBelieveThem) {
    struct Case {
        const char* layout;
        std::string line;
        const char* said;
        SentenceOptions options = {};
    };
    const SentenceOptions rate{false}; // a receiver's rate of turn sent as $GPROT
    const std::vector<Case> table = {
        {"other sentences say nothing", Nmea("$GPZDA,130711.00,07,12,2026,00,00"), ""},
        {"no sentence", "\n", ""},
        {"HDT from any talker", Nmea("$IIHDT,200.0,T"), "H=200.0"},
        {"HDT as sent", "$HEHDT,201.5,T*29\r\n", "H=201.5"},
        {"HDT empty: not received", Nmea("$GPHDT,,T"), "H-"},
        {"HDT 400 not plausible", Nmea("$GPHDT,400.00,T"), "H?"},
        {"HDT -5 not plausible", Nmea("$GPHDT,-5.00,T"), "H?"},
        {"HDT 360 not plausible", Nmea("$GPHDT,360.0,T"), "H?"},
        {"HDT no number", Nmea("$GPHDT,abc,T"), "H?"},
        {"HDT bad checksum", Corrupt("$GNHDT,1.0,T"), "bad"},
        {"GPROT: the instrument's pitch", Nmea("$GPROT,-3.0,A"), "P=-3.0"},
        {"GPROT status V not valid", Nmea("$GPROT,25.0,V"), "P!"},
        {"GPROT beyond float", Nmea("$GPROT,-1e39,A"), "P?"},
        {"GPROT beyond 90 not plausible", Nmea("$GPROT,95.0,A"), "P?"},
        {"GPROT a rate of turn when asked", Nmea("$GPROT,-3.0,A"), "O=-3.0", rate},
        {"HEROT a rate of turn either way", Nmea("$HEROT,-3.0,A"), "O=-3.0", rate},
        {"HEROT: a gyro's rate of turn", Nmea("$HEROT,-12.5,A"), "O=-12.5"},
        {"APROT: an autopilot's", Nmea("$APROT,180.0,A"), "O=180.0"},
        {"HEROT status V", Nmea("$HEROT,3.0,V"), "O!"},
        {"GGA: southern and western positions whole",
         Nmea("$GNGGA,012345.00,3346.1000,S,15112.2000,W,1,08,1.0,10.0,M,0.0,M,,"),
         "X=3346.1000/15112.2000"},
        {"GGA without a fix", Nmea("$GPGGA,012346.00,,,,,0,00,,,M,,M,,"), "X!"},
        {"GGA quality 0 with stale fields",
         Nmea("$GPGGA,012346.00,3346.1,S,15112.2,W,0,00,,,M,,M,,"), "X!"},
        {"instrument: heading, pitch", "$C123.4,-2.5\r\n", "H=123.4 P=-2.5"},
        // C, E, N and P separate the instrument's fields, so an exponent's E
        // cuts the number and -3 is field 2.
        {"instrument: P separates", "$C10.0P3.0\n", "H=10.0 P=3.0"},
        {"instrument: E separates", "$C1.5E-3,2\r\n", "H=1.5 P=-3"},
        {"instrument: heading alone", "$C359.9\r\n", "H=359.9 P-"},
        {"instrument with checksum", Nmea("$C12.0,1.0"), "H=12.0 P=1.0"},
        {"instrument bad checksum", "$C13.0,1.0*00\r\n", "bad"},
        {"instrument star without digits", "$C13.0,1.0*\r\n", "bad"},
        {"instrument: no number", "$Cabc,xyz\r\n", ""},
        {"instrument: beyond float", "$C1e39,1\r\n", ""},
        {"a talker that begins with C", Nmea("$CCHDT,17.0,T"), "H=17.0"},
        {"THS: heading,mode", Nmea("$INTHS,123.45,A"), "H=123.45"},
        {"THS: mode M", Nmea("$INTHS,123.45,M"), "H=123.45"},
        {"THS: mode E a heading, marked", Nmea("$HETHS,7.5,E"), "H=7.5 |E"},
        {"THS: mode S a heading, marked", Nmea("$HETHS,7.5,S"), "H=7.5 |S"},
        {"THS: mode V not valid", Nmea("$INTHS,123.45,V"), "H!"},
        {"THS: no mode not valid", Nmea("$GNTHS,244.28,"), "H!"},
        {"THS: empty heading", Nmea("$GPTHS,,A"), "H-"},
        {"PSAT,HPR: utc,heading,pitch,roll,type", Nmea("$PSAT,HPR,130711.00,251.3,-1.25,3.5,N"),
         "H=251.3 P=-1.25 R=3.5 |N"},
        {"PSAT,HPR: no pitch, gyro heading", Nmea("$PSAT,HPR,130711.00,251.3,,3.5,G"),
         "H=251.3 P- R=3.5 |G"},
        {"PSAT other than HPR", Nmea("$PSAT,INTLT,130711.00,1.0,2.0"), ""},
        {"--HPR: utc,heading,pitch,roll,QF,...",
         Nmea("$GNHPR,130711.00,88.10,2.20,-4.40,4,18,1.0,0000"), "H=88.10 P=2.20 R=-4.40"},
        {"--HPR: QF 0 no solution", Nmea("$GNHPR,130711.00,88.10,2.20,-4.40,0,0,,"), "H! P! R!"},
        {"PASHR: utc,heading,T,roll,pitch,heave,...,aiding,IMU",
         Nmea("$PASHR,130711.000,45.36,T,-0.57,-0.63,0.02,0.086,0.086,0.025,1,1"),
         "H=45.36 P=-0.63 R=-0.57 |1,1"},
        {"PASHR: roll 200 not plausible", Nmea("$PASHR,130711.000,45.36,T,200.0,-0.63,0.02"),
         "H=45.36 P=-0.63 R?"},
        {"PASHR: a word, not T, in field 3", Nmea("$PASHR,POS,0,13,130711.00,3110.4,N"), ""},
        {"PASHR: bad checksum", Corrupt("$PASHR,130711.000,45.36,T,-0.57,-0.63,0.02"), "bad"},
        {"PSTI,036: heading, pitch, roll, mode",
         Nmea("$PSTI,036,054314.000,030521,191.69,-16.35,0.00,R"), "H=191.69 P=-16.35 R=0.00 |R"},
        {"PSTI,036: mode N no solution", Nmea("$PSTI,036,054314.000,030521,191.69,-16.35,0.00,N"),
         "H! P! R! |N"},
        {"PSTI,036: empty fields", Nmea("$PSTI,036,054314.000,030521,,,,N"), "H- P- R- |N"},
        {"PSTI other than 036", Nmea("$PSTI,030,054314.000,A,2447.0,N"), ""},
        {"PTNL,AVR: yaw, tilt",
         Nmea("$PTNL,AVR,181059.6,+149.4688,Yaw,+0.0134,Tilt,,,60.191,3,2.5,6"),
         "H=+149.4688 P=+0.0134"},
        {"PTNL,AVR: a yaw west of north",
         Nmea("$PTNL,AVR,181059.6,-30.5,Yaw,-1.5,Tilt,,,60.191,3,2.5,6"), "H=329.50 P=-1.5"},
        {"PTNL,AVR: quality 0",
         Nmea("$PTNL,AVR,181059.6,+149.4688,Yaw,+0.0134,Tilt,,,60.191,0,2.5,6"), "H! P!"},
        {"XDR: pitch and roll in one", Nmea("$IIXDR,A,2.3,D,PTCH,A,4.1,D,ROLL"), "P=2.3 R=4.1"},
        {"XDR: PITCH, HEEL", Nmea("$YXXDR,A,-1.0,D,PITCH,A,-7.5,D,HEEL"), "P=-1.0 R=-7.5"},
        {"XDR: TRIM is pitch", Nmea("$IIXDR,A,0.4,D,TRIM"), "P=0.4"},
        {"XDR: other transducers say nothing", Nmea("$IIXDR,C,19.5,C,AIRTEMP,P,1.013,B,BARO"), ""},
        {"XDR: an angle not in degrees", Nmea("$IIXDR,A,0.1,R,PTCH"), ""},
        {"XDR: after another transducer", Nmea("$IIXDR,C,19.5,C,AIR,A,3.5,D,ROLL"), "R=3.5"},
        {"HDM: magnetic heading", Nmea("$HCHDM,238.5,M"), "M=238.5"},
        {"HDG: deviation and variation", Nmea("$HCHDG,98.3,0.0,E,12.6,W"), "M=98.3 T=85.700"},
        {"HDG: east deviation, west variation across north", Nmea("$HCHDG,358.0,3.0,E,5.0,W"),
         "M=1.0000 T=356.00"},
        {"HDG: no variation", Nmea("$HCHDG,98.3,,,,"), "M=98.3"},
        {"HDG: a deviation with no side", Nmea("$HCHDG,98.3,2.0,,,"), "M?"},
        {"VTG: true course, knots", Nmea("$GPVTG,54.7,T,34.4,M,5.5,N,10.2,K,A"), "C=54.7 S=5.5"},
        {"VTG: mode N not valid", Nmea("$GPVTG,54.7,T,34.4,M,5.5,N,10.2,K,N"), "C! S!"},
        {"RMC: course and speed",
         Nmea("$GPRMC,130711.00,A,3110.4567,N,12129.8765,E,0.1,45.0,071226,,,A"), "C=45.0 S=0.1"},
        {"RMC: status V not valid",
         Nmea("$GPRMC,130711.00,V,3110.4567,N,12129.8765,E,0.1,45.0,071226,,,N"), "C! S!"},
        // Tag blocks: the published vectors that verify, and two that do not.
        {"tag block s:", "\\s:kplex*23\\" + Nmea("$GPHDT,123.4,T"), "H=123.4"},
        {"tag block c:", "\\c:1423133110*5C\\" + Nmea("$GPHDT,123.4,T"), "H=123.4"},
        {"tag block s:,c:", "\\s:kplex,c:1423133048*5F\\" + Nmea("$GPHDT,123.4,T"), "H=123.4"},
        {"tag block s:,d:,n:", "\\s:EI9999,d:AI9610,n:270*7C\\" + Nmea("$GPHDT,123.4,T"),
         "H=123.4"},
        {"tag block that does not verify", "\\s:002131,c:1677664386*B4\\" + Nmea("$GPHDT,123.4,T"),
         "bad"},
        {"tag block that does not verify, c:", "\\c:1754242770*39\\" + Nmea("$GPHDT,123.4,T"),
         "bad"},
        {"tag block never closed", "\\s:kplex*23" + Nmea("$GPHDT,123.4,T"), "bad"},
        {"good tag block, bad sentence", "\\s:kplex*23\\" + Corrupt("$GPHDT,123.4,T"), "bad"},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.layout);
        EXPECT_EQ(Describe(ReadSentence(c.line, c.options)), c.said);
    }
}

// What a tag block names, and the block we send reads back as written.
TEST(Sentences, ATagBlockNamesItsSourceTimeAndLine) {
    const TagBlock read = ReadSentence("\\s:EI9999,d:AI9610,n:270*7C\\$GPHDT,1.0,T\r\n").tag;
    EXPECT_EQ(read.state, TagBlock::State::Holds);
    EXPECT_EQ(read.source, "EI9999");
    EXPECT_EQ(read.nLine, 270);
    EXPECT_EQ(ReadTagBlock("\\c:1423133110*5C\\").nUnixMs, 1423133110000);
    EXPECT_EQ(ReadTagBlock("$GPHDT,1.0,T").state, TagBlock::State::None);
    char out[kMaxTagBlock];
    const std::string source(40, 'Q'); // cut to what fits
    for (const auto& [s, n, ms] :
         {std::tuple<std::string, std::int64_t, std::int64_t>{"QM0001", 999, 1754242770123},
          {"", 1, -1},
          {source, -1, 0}}) {
        const std::string_view block(out, WriteTagBlock(s, n, ms, out));
        SCOPED_TRACE(std::string(block));
        const TagBlock back = ReadTagBlock(block);
        EXPECT_EQ(back.state, TagBlock::State::Holds);
        EXPECT_EQ(back.nLength, block.size());
        EXPECT_EQ(back.source, s.substr(0, kMaxTagSource));
        EXPECT_EQ(back.nLine, n);
        EXPECT_EQ(back.nUnixMs, ms < 0 ? -1 : ms / 1000 * 1000);
    }
}

} // namespace
