#include "link/Sentences.h"
#include "link/NumberText.h"
#include "tools/Simulator.h"

#include <gtest/gtest.h>
#include <string>
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

// What one line says: per quantity, nullptr when the line tells nothing of
// it, "" when it carries the field but no value, else the field's text (a
// position's latitude, then its longitude after a space).
TEST(Sentences, EachSentenceTellsTheQuantitiesItCarries) {
    struct Case {
        const char* layout;
        std::string line;
        bool checksumFails;
        const char *heading, *pitch, *roll, *position;
    };
    const char* const no = nullptr;
    const std::vector<Case> table = {
        {"other sentences say nothing", Nmea("$GPZDA,130711.00,07,12,2026,00,00"), false, no, no,
         no, no},
        {"RMC says nothing",
         Nmea("$GPRMC,130711.00,A,3110.4567,N,12129.8765,E,0.1,45.0,071226,,,A"), false, no, no, no,
         no},
        {"no sentence", "\n", false, no, no, no, no},
        {"HDT from any talker", Nmea("$IIHDT,200.0,T"), false, "200.0", no, no, no},
        {"HDT as sent", "$HEHDT,201.5,T*29\r\n", false, "201.5", no, no, no},
        {"HDT empty", Nmea("$GPHDT,,T"), false, "", no, no, no},
        {"HDT bad checksum", Corrupt("$GNHDT,1.0,T"), true, no, no, no, no},
        {"ROT: the instrument's pitch", Nmea("$GPROT,-3.0,A"), false, no, "-3.0", no, no},
        {"ROT beyond float", Nmea("$GPROT,-1e39,A"), false, no, "", no, no},
        {"GGA: southern and western positions whole",
         Nmea("$GNGGA,012345.00,3346.1000,S,15112.2000,W,1,08,1.0,10.0,M,0.0,M,,"), false, no, no,
         no, "3346.1000 15112.2000"},
        {"GGA without a fix", Nmea("$GPGGA,012346.00,,,,,0,00,,,M,,M,,"), false, no, no, no, ""},
        {"instrument: heading, pitch", "$C123.4,-2.5\r\n", false, "123.4", "-2.5", no, no},
        // C, E, N and P separate the instrument's fields, so an exponent's E
        // cuts the number and -3 is field 2.
        {"instrument: P separates", "$C10.0P3.0\n", false, "10.0", "3.0", no, no},
        {"instrument: E separates", "$C1.5E-3,2\r\n", false, "1.5", "-3", no, no},
        {"instrument: heading alone", "$C359.9\r\n", false, "359.9", "", no, no},
        {"instrument with checksum", Nmea("$C12.0,1.0"), false, "12.0", "1.0", no, no},
        {"instrument bad checksum", "$C13.0,1.0*00\r\n", true, no, no, no, no},
        {"instrument star without digits", "$C13.0,1.0*\r\n", true, no, no, no, no},
        {"instrument: no number", "$Cabc,xyz\r\n", false, no, no, no, no},
        {"instrument: beyond float", "$C1e39,1\r\n", false, no, no, no, no},
        {"a talker that begins with C", Nmea("$CCHDT,17.0,T"), false, "17.0", no, no, no},
        {"THS: heading,mode", Nmea("$INTHS,123.45,A"), false, "123.45", no, no, no},
        {"THS: mode E still a heading", Nmea("$HETHS,7.5,E"), false, "7.5", no, no, no},
        {"THS: mode V not valid", Nmea("$INTHS,123.45,V"), false, "", no, no, no},
        {"THS: empty heading", Nmea("$GPTHS,,A"), false, "", no, no, no},
        {"PSAT,HPR: utc,heading,pitch,roll,type", Nmea("$PSAT,HPR,130711.00,251.3,-1.25,3.5,N"),
         false, "251.3", "-1.25", "3.5", no},
        {"PSAT,HPR: no pitch, gyro heading", Nmea("$PSAT,HPR,130711.00,251.3,,3.5,G"), false,
         "251.3", "", "3.5", no},
        {"PSAT other than HPR", Nmea("$PSAT,INTLT,130711.00,1.0,2.0"), false, no, no, no, no},
        {"--HPR: utc,heading,pitch,roll,QF,sats,age,stn",
         Nmea("$GNHPR,130711.00,88.10,2.20,-4.40,4,18,1.0,0000"), false, "88.10", "2.20", "-4.40",
         no},
        {"--HPR: QF 0 no solution", Nmea("$GNHPR,130711.00,88.10,2.20,-4.40,0,0,,"), false, "", "",
         "", no},
        {"PASHR: utc,heading,T,roll,pitch,heave,...",
         Nmea("$PASHR,130711.000,45.36,T,-0.57,-0.63,0.02,0.086,0.086,0.025,1,1"), false, "45.36",
         "-0.63", "-0.57", no},
        {"PASHR: a word, not T, in field 3", Nmea("$PASHR,POS,0,13,130711.00,3110.4,N"), false, no,
         no, no, no},
        {"PASHR: bad checksum", Corrupt("$PASHR,130711.000,45.36,T,-0.57,-0.63,0.02"), true, no, no,
         no, no},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.layout);
        const SentenceReading reading = ReadSentence(c.line);
        EXPECT_EQ(reading.checksum == SentenceReading::Checksum::Fails, c.checksumFails);
        const char* const expected[kQuantities] = {c.heading, c.pitch, c.roll, c.position};
        for (int q = 0; q < kQuantities; ++q) {
            SCOPED_TRACE(q);
            const Observation* found = nullptr;
            for (const Observation& o : reading) {
                if (static_cast<int>(o.quantity) == q) {
                    EXPECT_EQ(found, nullptr); // one observation a quantity
                    found = &o;
                }
            }
            ASSERT_EQ(found != nullptr, expected[q] != nullptr);
            if (!found)
                continue;
            std::string text(found->value.text);
            if (found->quantity == Quantity::Position && found->validity == Validity::Valid)
                text += " " + std::string(found->second.text);
            EXPECT_EQ(text, expected[q]);
            EXPECT_EQ(found->validity == Validity::Valid, *expected[q] != 0);
            EXPECT_EQ(found->value.dNumber, Atof(found->value.text));
            EXPECT_EQ(reading.Valid(found->quantity), *expected[q] ? found : nullptr);
        }
    }
}

} // namespace
