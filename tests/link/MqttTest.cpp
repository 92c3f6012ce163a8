// Publishing through a real mosquitto broker on a free loopback port: the
// topics and units, the retained alarms, the reconnection after the broker
// comes back, the bounded queue while it is away.
#include "link/InstrumentSession.h"
#include "link/MqttPublisher.h"
#include "support/LinkSupport.h"

#include <atomic>
#include <cmath>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <numbers>
#include <signal.h>
#include <sys/wait.h>

namespace {

const char* const kBroker = "/usr/sbin/mosquitto";

// A mosquitto broker of its own on a port free when the test began.
class CBroker {
public:
    CBroker() {
        const int fd = Bound(SOCK_STREAM, 0);
        m_nPort = LocalPort(fd);
        close(fd);
        WriteFile(m_folder.path + "/broker.conf", "listener " + std::to_string(m_nPort) +
                                                      " 127.0.0.1\nallow_anonymous true\n"
                                                      "persistence false\nlog_dest none\n");
    }
    ~CBroker() { Stop(); }
    bool Start() {
        m_pid = fork();
        if (m_pid == 0) {
            execl(kBroker, kBroker, "-c", (m_folder.path + "/broker.conf").c_str(), nullptr);
            _exit(127);
        }
        return WaitFor([&] {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in address = Loopback(m_nPort);
            const bool up =
                connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
            close(fd);
            return up;
        });
    }
    void Stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    unsigned Port() const { return m_nPort; }

private:
    CTempFolder m_folder;
    unsigned m_nPort = 0;
    pid_t m_pid = -1;
};

// A subscriber to everything, keeping the last message of each topic.
class CSubscriber {
public:
    struct Got {
        std::string payload;
        bool retained = false;
        int count = 0;
    };
    explicit CSubscriber(unsigned port) {
        mosquitto_lib_init();
        m_pClient = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(
            m_pClient, [](mosquitto*, void* self, const mosquitto_message* m) {
                auto* me = static_cast<CSubscriber*>(self);
                std::lock_guard<std::mutex> guard(me->m_lock);
                Got& got = me->m_got[m->topic];
                got.payload.assign(static_cast<const char*>(m->payload),
                                   static_cast<std::size_t>(m->payloadlen));
                got.retained = m->retain;
                ++got.count;
            });
        mosquitto_connect_callback_set(m_pClient, [](mosquitto* client, void*, int) {
            mosquitto_subscribe(client, nullptr, "#", 0);
        });
        mosquitto_subscribe_callback_set(m_pClient,
                                         [](mosquitto*, void* self, int, int, const int*) {
                                             static_cast<CSubscriber*>(self)->m_bSubscribed = true;
                                         });
        mosquitto_connect(m_pClient, "127.0.0.1", static_cast<int>(port), 30);
        mosquitto_loop_start(m_pClient);
        EXPECT_TRUE(WaitFor([this] { return m_bSubscribed.load(); }));
    }
    ~CSubscriber() {
        mosquitto_disconnect(m_pClient);
        mosquitto_loop_stop(m_pClient, true);
        mosquitto_destroy(m_pClient);
    }
    Got Of(const std::string& topic) {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto it = m_got.find(topic);
        return it == m_got.end() ? Got{} : it->second;
    }

private:
    mosquitto* m_pClient;
    std::atomic<bool> m_bSubscribed{false};
    std::mutex m_lock;
    std::map<std::string, Got> m_got;
};

// The publisher's event log lines, "event,value".
struct CEvents {
    std::mutex lock;
    std::vector<std::string> lines;
    CMqttPublisher::EventSink Sink() {
        return [this](std::string_view event, std::string_view value) {
            std::lock_guard<std::mutex> guard(lock);
            lines.push_back(std::string(event) + "," + std::string(value));
        };
    }
    bool Has(const std::string& start) {
        std::lock_guard<std::mutex> guard(lock);
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(start, 0) == 0; });
    }
};

class Mqtt : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(kBroker, X_OK) != 0)
            GTEST_SKIP() << "mosquitto is not installed (scripts/bootstrap installs it)";
        ASSERT_TRUE(m_broker.Start());
    }
    MqttTarget Target() const { return {"127.0.0.1", m_broker.Port(), "fleet"}; }
    CBroker m_broker;
    CEvents m_events;
};

} // namespace

TEST_F(Mqtt, SessionValuesArriveInSiUnitsAndAlarmsStayRetained) {
    auto owned = std::make_unique<CInstrumentSession>(); // too big for the stack
    CInstrumentSession& session = *owned;
    AlertSettings quick;
    quick.delayMs = 0;
    session.SetAlertSettings(quick);
    const std::string line = "$PASHR,120000.00,90.0,T,-12.0,45.0,0.0,0.1,0.1,0.1,1,1\r\n";
    session.Process(reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), SteadyMs());
    ASSERT_EQ(session.Alarms().Of(AlarmSubject::Pitch), AlertState::ActiveUnacknowledged);

    CSubscriber early(m_broker.Port());
    CMqttPublisher publisher(Target(), m_events.Sink());
    publisher.SetFeed(SessionFeed(session, "fleet/aurora"));
    publisher.Start();
    ASSERT_TRUE(WaitFor([&] { return early.Of("fleet/aurora/navigation/attitude").count > 0; }));
    EXPECT_NEAR(std::stod(early.Of("fleet/aurora/navigation/headingTrue").payload),
                std::numbers::pi / 2, 1e-9);
    const std::string attitude = early.Of("fleet/aurora/navigation/attitude").payload;
    EXPECT_NE(attitude.find("\"pitch\":0.785398"), std::string::npos) << attitude;
    EXPECT_NE(attitude.find("\"roll\":-0.20943"), std::string::npos) << attitude;
    EXPECT_TRUE(m_events.Has("connected,127.0.0.1:"));

    // One that connects later still learns of the alarm, and of the others' states.
    CSubscriber late(m_broker.Port());
    ASSERT_TRUE(WaitFor([&] { return late.Of("fleet/aurora/notifications/dataLost").count > 0; }));
    const CSubscriber::Got pitch = late.Of("fleet/aurora/notifications/attitude/pitch");
    EXPECT_TRUE(pitch.retained);
    EXPECT_EQ(pitch.payload.rfind(R"({"state":"alarm","method":["visual","sound"],)", 0), 0u)
        << pitch.payload;
    EXPECT_EQ(late.Of("fleet/aurora/navigation/headingTrue").count, 0); // values are not retained
}

TEST_F(Mqtt, ReconnectsAfterTheBrokerReturnsAndDropsTheOldestWhileAway) {
    MqttSettings settings;
    settings.maxQueued = 5;
    settings.firstRetryMs = 50;
    settings.lastRetryMs = 200;
    CMqttPublisher publisher(Target(), m_events.Sink(), settings);
    publisher.Start();
    ASSERT_TRUE(WaitFor([&] { return publisher.Connected(); }));

    m_broker.Stop();
    ASSERT_TRUE(WaitFor([&] { return m_events.Has("lost,"); }));
    // Handed over while the broker is away: taken at once, the queue bounded.
    for (int i = 0; i < 20; ++i)
        publisher.Offer({"fleet/aurora/navigation/headingTrue", std::to_string(i), false});
    publisher.Offer({"fleet/aurora/notifications/dataLost", R"({"state":"alarm"})", true});
    EXPECT_LE(publisher.Queued(), 5u);
    EXPECT_GE(publisher.Dropped(), 15u);
    EXPECT_FALSE(publisher.Connected());

    ASSERT_TRUE(m_broker.Start());
    CSubscriber subscriber(m_broker.Port());
    ASSERT_TRUE(WaitFor([&] { return publisher.Connections() == 2; }));
    ASSERT_TRUE(WaitFor([&] {
        return subscriber.Of("fleet/aurora/notifications/dataLost").count > 0 &&
               m_events.Has("dropped,");
    }));
    publisher.Offer({"fleet/aurora/navigation/headingTrue", "after", false});
    ASSERT_TRUE(WaitFor(
        [&] { return subscriber.Of("fleet/aurora/navigation/headingTrue").payload == "after"; }));
    EXPECT_TRUE(m_events.Has("dropped,15"));
}

// A host that takes the connection and never answers (a listening socket
// nobody accepts on): the publisher gives up on it, tries again, and quits at
// once all the same.
TEST(MqttSilentBroker, GivesUpTriesAgainAndNeverHoldsUpTheQuit) {
    const int silent = Bound(SOCK_STREAM, 0);
    ASSERT_EQ(listen(silent, 8), 0);
    CEvents events;
    MqttSettings settings;
    settings.connectMs = 200;
    settings.firstRetryMs = 50;
    settings.lastRetryMs = 100;
    {
        CMqttPublisher publisher({"127.0.0.1", LocalPort(silent), "fleet"}, events.Sink(),
                                 settings);
        publisher.Start();
        EXPECT_TRUE(WaitFor([&] { return events.Has("lost,"); }));
        EXPECT_FALSE(publisher.Connected());
        // Stopped while a connection is begun: the test ends, it does not hang.
    }
    close(silent);
    std::lock_guard<std::mutex> guard(events.lock);
    EXPECT_EQ(events.lines.front(), "lost,no answer");
}

TEST(MqttUrl, ParsesBrokerPortAndPrefix) {
    struct Case {
        const char* url;
        const char* host;
        unsigned port;
        const char* prefix;
    } cases[] = {
        {"mqtt://shore.example/fleet", "shore.example", 1883, "fleet"},
        {"mqtt://10.0.0.5:1884/company/fleet", "10.0.0.5", 1884, "company/fleet"},
    };
    for (const Case& c : cases) {
        MqttTarget target;
        std::string error;
        ASSERT_TRUE(ParseMqttUrl(c.url, &target, &error)) << c.url;
        EXPECT_EQ(target.host, c.host);
        EXPECT_EQ(target.port, c.port);
        EXPECT_EQ(target.prefix, c.prefix);
    }
    for (const char* refused :
         {"mqtt://shore.example", "mqtt://shore.example/", "mqtt://shore.example:0/fleet",
          "mqtt://shore.example:x/fleet", "mqtt://:1883/fleet", "mqtt://shore/fleet/+",
          "mqtt://shore/a//b", "tcp://shore/fleet"}) {
        MqttTarget target;
        std::string error;
        EXPECT_FALSE(ParseMqttUrl(refused, &target, &error)) << refused;
        EXPECT_NE(error.find(refused), std::string::npos) << error;
    }
    EXPECT_EQ(MqttTopicLevel("MV a/b+#"), "MV a_b__");
    EXPECT_EQ(MqttTopicLevel(""), "vessel");
}
