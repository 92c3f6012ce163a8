// The Signal K deltas: units and signs from the sentences as read, only what
// is valid and fresh, the alarms as notifications, and the official schema.
#include "link/SignalK.h"
#include "support/LinkSupport.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

const SignalKValue* Find(const std::vector<SignalKValue>& values, const std::string& path) {
    for (const SignalKValue& v : values)
        if (v.path == path)
            return &v;
    return nullptr;
}

// A number in a value's JSON: the whole of it, or the member `name`.
double Number(const std::string& json, const std::string& name = {}) {
    if (name.empty())
        return std::stod(json);
    const std::size_t at = json.find("\"" + name + "\":");
    return at == std::string::npos ? NAN : std::stod(json.substr(at + name.size() + 3));
}

} // namespace

TEST(SignalK, UnitsAndSignsFromTheSentencesAsRead) {
    const char* const pashr = "$PASHR,120000.00,10.0,T,-12.0,5.0,0.0,0.1,0.1,0.1,1,1";
    const char* const ne = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
    const char* const sw = "$GPGGA,123519,3352.200,S,15112.600,W,1,08,0.9,545.4,M,46.9,M,,";
    struct Case {
        const char* sentence;
        const char* path;
        const char* member;
        double expected;
    } cases[] = {
        {"$GPHDT,90.0,T", "navigation.headingTrue", "", kPi / 2},
        {"$HCHDM,180.0,M", "navigation.headingMagnetic", "", kPi},
        // Port side up (heeled to starboard) and bow up are positive.
        {pashr, "navigation.attitude", "yaw", 10 * kPi / 180},
        {pashr, "navigation.attitude", "roll", -12 * kPi / 180},
        {pashr, "navigation.attitude", "pitch", 5 * kPi / 180},
        {"$TIROT,-60.0,A", "navigation.rateOfTurn", "", -kPi / 180}, // 60 degrees a minute to port
        {ne, "navigation.position", "latitude", 48.1173},
        {ne, "navigation.position", "longitude", 11.516666667},
        {sw, "navigation.position", "latitude", -33.87},
        {sw, "navigation.position", "longitude", -151.21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sentence << " " << c.path << " " << c.member);
        const std::vector<SignalKValue> values = SignalKValues(SituationAfter({c.sentence}));
        const SignalKValue* v = Find(values, c.path);
        ASSERT_TRUE(v);
        EXPECT_NEAR(Number(v->json, c.member), c.expected, 1e-6);
        EXPECT_EQ(v->source, "ttyUSB0");
    }
}

TEST(SignalK, OnlyValidAndFreshValuesGo) {
    struct Case {
        std::initializer_list<const char*> sentences;
        std::int64_t ageMs;
        std::vector<std::string> paths; // what the delta carries besides the notifications
    } cases[] = {
        {{}, 0, {}},
        {{"$GPHDT,90.0,T", "$TIROT,5.0,A"},
         3000,
         {"navigation.headingTrue", "navigation.rateOfTurn"}},
        {{"$GPHDT,90.0,T"}, 3001, {}}, // stale
        {{"$TIROT,5.0,V"}, 0, {}},     // set aside by its status
        {{"$GPGGA,123519,4807.038,N,01131.000,E,0,08,0.9,545.4,M,46.9,M,,"}, 0, {}}, // no fix
        {{"$GPHDT,400.0,T"}, 0, {}}, // not plausible
    };
    for (const Case& c : cases) {
        std::vector<std::string> paths;
        for (const SignalKValue& v : SignalKValues(SituationAfter(c.sentences, c.ageMs)))
            if (!v.notification)
                paths.push_back(v.path);
        EXPECT_EQ(paths, c.paths) << c.ageMs;
    }
}

TEST(SignalK, AlarmsAreNotifications) {
    struct Case {
        AlertState state;
        const char* json;
    } cases[] = {
        {AlertState::Normal,
         R"({"state":"normal","method":[],"message":"Pitch beyond 30 degrees: normal"})"},
        {AlertState::ActiveUnacknowledged,
         R"({"state":"alarm","method":["visual","sound"],"message":"Pitch beyond 30 degrees"})"},
        {AlertState::ActiveSilenced,
         R"({"state":"alarm","method":["visual"],"message":"Pitch beyond 30 degrees"})"},
        {AlertState::ActiveAcknowledged,
         R"({"state":"alarm","method":["visual"],"message":"Pitch beyond 30 degrees"})"},
        {AlertState::RectifiedUnacknowledged,
         R"({"state":"alert","method":["visual"],"message":"Pitch beyond 30 degrees"})"},
    };
    for (const Case& c : cases) {
        SignalKSituation s = SituationAfter({});
        s.alarms.state[static_cast<int>(AlarmSubject::Pitch)] = c.state;
        const std::vector<SignalKValue> values = SignalKValues(s);
        EXPECT_EQ(Find(values, "notifications.attitude.pitch")->json, c.json);
        EXPECT_EQ(Find(values, "notifications.attitude.roll")->json.substr(0, 18),
                  R"({"state":"normal",)");
        EXPECT_TRUE(Find(values, "notifications.dataLost") &&
                    Find(values, "notifications.headingDifference"));
    }
}

TEST(SignalK, DeltaGroupsValuesBySourceAndTime) {
    const std::vector<SignalKValue> values = {
        {"navigation.headingTrue", "1.5", "gyro \"A\"", 1'800'000'000'250, false, 0},
        {"navigation.rateOfTurn", "0.25", "ttyUSB0", 1'800'000'000'250, false, 0},
        {"navigation.attitude", R"({"roll":0.1})", "gyro \"A\"", 1'800'000'000'250, false, 0},
    };
    EXPECT_EQ(
        SignalKDelta(values),
        R"({"context":"vessels.self","updates":[)"
        R"({"source":{"label":"gyro__A_"},"timestamp":"2027-01-15T08:00:00.250Z","values":[)"
        R"({"path":"navigation.headingTrue","value":1.5},{"path":"navigation.attitude","value":{"roll":0.1}}]},)"
        R"({"source":{"label":"ttyUSB0"},"timestamp":"2027-01-15T08:00:00.250Z","values":[)"
        R"({"path":"navigation.rateOfTurn","value":0.25}]}]})");
    EXPECT_EQ(JsonString("a\\b\n\x01é"), "\"a\\\\b\\n\\u0001é\"");
    EXPECT_EQ(Rfc3339Utc(-1), "1969-12-31T23:59:59.999Z");
    EXPECT_EQ(SignalKVesselUrn("Aurora"), SignalKVesselUrn("Aurora"));
    EXPECT_NE(SignalKVesselUrn("Aurora"), SignalKVesselUrn("Borealis"));
}

TEST(SignalK, ChangesTakeWhatIsNew) {
    CSignalKChanges changes;
    SignalKSituation s = SituationAfter({"$GPHDT,90.0,T"});
    EXPECT_EQ(changes.TakeNew(SignalKValues(s)).size(), 5u); // the heading, 4 alarms
    s.nowMs += 50;                                           // the same values looked at again
    s.epochNowMs += 50;
    EXPECT_TRUE(changes.TakeNew(SignalKValues(s)).empty());
    s.values.m_nReceivedMs[static_cast<int>(Quantity::Heading)] = 40; // a heading again
    s.alarms.state[static_cast<int>(AlarmSubject::Data)] = AlertState::ActiveUnacknowledged;
    std::vector<std::string> paths;
    for (const SignalKValue& v : changes.TakeNew(SignalKValues(s)))
        paths.push_back(v.path);
    EXPECT_EQ(paths,
              (std::vector<std::string>{"navigation.headingTrue", "notifications.dataLost"}));
}

// The deltas and the hello against @signalk/signalk-schema: the ctest test
// signalk_schema installs the package (scripts/signalk-schema-fixture) and
// names its folder in QUILLMAR_SIGNALK_MODULES.
TEST(SignalKSchema, DeltasAndHelloHold) {
    const char* modules = std::getenv("QUILLMAR_SIGNALK_MODULES");
    if (!modules)
        GTEST_SKIP() << "runs as the ctest test signalk_schema, which installs the schema";
    const std::string reason =
        ReadFile(std::filesystem::path(modules).parent_path().string() + "/unavailable");
    if (!reason.empty())
        GTEST_SKIP() << reason;
    CTempFolder folder;
    std::string files;
    const auto write = [&](const std::string& name, const std::string& json) {
        ASSERT_TRUE(WriteFile(folder.path + "/" + name, json));
        files += " '" + folder.path + "/" + name + "'";
    };
    SignalKSituation all = SituationAfter(
        {"$PASHR,120000.00,10.0,T,-12.0,5.0,0.0,0.1,0.1,0.1,1,1", "$HCHDM,180.0,M",
         "$TIROT,-60.0,A", "$GPGGA,123519,3352.200,S,15112.600,W,1,08,0.9,545.4,M,46.9,M,,"});
    for (AlertState& state : all.alarms.state)
        state = AlertState::ActiveUnacknowledged;
    all.alarms.state[1] = AlertState::RectifiedUnacknowledged;
    write("all.json", SignalKDelta(SignalKValues(all)));
    write("nothing.json", SignalKDelta(SignalKValues(SituationAfter({}))));
    SignalKSituation other = SituationAfter({"$GPHDT,359.9,T"});
    other.values.m_strSource[static_cast<int>(Quantity::Heading)] = "gyro \"2\"";
    write("other-source.json", SignalKDelta(SignalKValues(other)));
    write("hello.json", SignalKHello("Aurora", 1'800'000'000'000));
    const std::string command = std::string("node '") + QUILLMAR_TEST_SOURCE +
                                "/link/signalk-validate.js' '" + modules + "'" + files + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string output;
    char buffer[512];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << output;
}
