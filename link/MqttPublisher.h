// Publishing to an MQTT broker (libmosquitto), for a fleet's shore side: the
// session's Signal K values under <prefix>/<vessel>/, one topic per path
// ("fleet/aurora/navigation/headingTrue" carries 1.5708), the alarms'
// notifications retained ("fleet/aurora/notifications/attitude/pitch"
// carries {"state":"alarm","method":["visual","sound"],"message":...}).
//
// The publisher has a thread of its own. It takes what is new from its feed
// (SessionFeed: the session's values, read as the window reads them) and
// whatever Offer hands it, and sends it while the broker is there. The
// session never waits for it: it is not even told of the publisher. While
// the broker is away the queue holds at most maxQueued values, the newest;
// older ones are dropped and counted. The latest state of every retained
// topic is kept apart and sent again at every connection, so the broker
// holds the alarms' present states after an absence. Connection attempts
// follow each other after 1 s, then twice as long each time, up to 60 s.
#pragma once

#include "link/SignalK.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class CInstrumentSession;
struct mosquitto;

// mqtt://host[:port]/prefix (port 1883 when left out; the prefix may have
// several levels, none of them empty, + or #).
struct MqttTarget {
    std::string host;
    unsigned port = 1883;
    std::string prefix;
};
bool ParseMqttUrl(std::string_view url, MqttTarget* target, std::string* error);
// A vessel's name as one topic level: '/', '+', '#' and control characters
// become '_'; empty becomes "vessel".
std::string MqttTopicLevel(std::string_view name);

struct MqttMessage {
    std::string topic, payload;
    bool retained = false;
};

struct MqttSettings {
    std::size_t maxQueued = 2000;
    std::int64_t firstRetryMs = 1000, lastRetryMs = 60000;
    std::int64_t pollMs = 100; // how often the feed is read
    int keepAliveS = 30;
    std::int64_t connectMs = 10000; // how long a connection begun waits for the broker's answer
};

class CMqttPublisher {
public:
    // The event log's lines, on the publisher's thread: "connected"
    // (host:port), "lost" (the reason), "dropped" (how many in all).
    using EventSink = std::function<void(std::string_view event, std::string_view value)>;
    // What is new, read on the publisher's thread every pollMs.
    using Feed = std::function<std::vector<MqttMessage>()>;

    CMqttPublisher(MqttTarget target, EventSink events, MqttSettings settings = {});
    ~CMqttPublisher(); // ends the thread
    CMqttPublisher(const CMqttPublisher&) = delete;
    CMqttPublisher& operator=(const CMqttPublisher&) = delete;

    // Before Start.
    void SetFeed(Feed feed) { m_feed = std::move(feed); }
    void Start();
    void Stop();
    // Any thread; returns at once whether or not the broker is there.
    void Offer(MqttMessage message);

    // Any thread.
    bool Connected() const { return m_bConnected.load(); }
    std::uint64_t Published() const { return m_nPublished.load(); }
    std::uint64_t Dropped() const { return m_nDropped.load(); }
    std::uint64_t Connections() const { return m_nConnections.load(); }
    std::size_t Queued() const;
    const MqttTarget& Target() const { return m_target; }

private:
    void Run();
    void Enqueue(MqttMessage message); // under m_lock
    bool Connect();
    void Connected(int rc); // the broker's answer to a connection begun
    void Lose(std::string_view reason);
    bool PublishOne(const MqttMessage& message);

    MqttTarget m_target;
    EventSink m_events;
    MqttSettings m_settings;
    Feed m_feed;
    mosquitto* m_pClient = nullptr;
    std::thread m_thread;

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_bStop = false;
    std::deque<MqttMessage> m_queue;     // under m_lock
    std::vector<MqttMessage> m_retained; // the latest of each retained topic, under m_lock
    std::vector<bool> m_retainedSent;    // under m_lock

    // The publisher's thread only.
    std::int64_t m_nRetryMs = 0;
    std::int64_t m_nNextAttemptMs = 0;
    bool m_bLostLogged = false;
    std::uint64_t m_nDroppedLogged = 0;
    // A connection begun (the TCP connect does not block: quitting never
    // waits for a broker that does not answer), since when.
    bool m_bConnecting = false;
    std::int64_t m_nConnectingSinceMs = 0;

    std::atomic<bool> m_bConnected{false};
    std::atomic<std::uint64_t> m_nPublished{0}, m_nDropped{0}, m_nConnections{0};
};

// The session's values and alarms as messages under root ("prefix/vessel"),
// what is new at each call (CSignalKChanges): values as they arrive,
// notifications retained when they change. firstSource: the name of the
// session's values when they name no source.
CMqttPublisher::Feed SessionFeed(const CInstrumentSession& session, std::string root);
