#include "link/MqttPublisher.h"

#include "link/InstrumentSession.h"

#include <mosquitto.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <memory>

namespace {

void InitLibrary() {
    static const int once = mosquitto_lib_init();
    (void)once;
}

} // namespace

bool ParseMqttUrl(std::string_view url, MqttTarget* target, std::string* error) {
    constexpr std::string_view scheme = "mqtt://";
    const auto fail = [&](std::string text) {
        *error = "--publish " + std::string(url) + ": " + text;
        return false;
    };
    if (url.substr(0, scheme.size()) != scheme)
        return fail("takes mqtt://broker[:port]/prefix");
    std::string_view rest = url.substr(scheme.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos || slash + 1 == rest.size())
        return fail("the topic prefix is missing (mqtt://broker[:port]/prefix)");
    std::string_view authority = rest.substr(0, slash);
    const std::string_view prefix = rest.substr(slash + 1);
    MqttTarget parsed;
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
        const std::string_view port = authority.substr(colon + 1);
        unsigned number = 0;
        const auto result = std::from_chars(port.data(), port.data() + port.size(), number);
        if (port.empty() || result.ec != std::errc() || result.ptr != port.data() + port.size() ||
            number == 0 || number > 65535)
            return fail("the port is no number from 1 to 65535");
        parsed.port = number;
        authority = authority.substr(0, colon);
    }
    if (authority.empty())
        return fail("the broker's host is missing");
    std::size_t start = 0;
    while (start <= prefix.size()) {
        const std::size_t end = std::min(prefix.find('/', start), prefix.size());
        const std::string_view level = prefix.substr(start, end - start);
        if (level.empty() || level.find_first_of("+#") != std::string_view::npos)
            return fail("a level of the topic prefix is empty or holds + or #");
        start = end + 1;
    }
    parsed.host = authority;
    parsed.prefix = prefix;
    *target = parsed;
    return true;
}

std::string MqttTopicLevel(std::string_view name) {
    std::string level;
    for (const char c : name)
        level += c == '/' || c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20 ? '_' : c;
    return level.empty() ? "vessel" : level;
}

CMqttPublisher::CMqttPublisher(MqttTarget target, EventSink events, MqttSettings settings)
    : m_target(std::move(target)), m_events(std::move(events)), m_settings(settings) {
    InitLibrary();
    m_pClient = mosquitto_new(nullptr, true, this);
    if (m_pClient)
        mosquitto_connect_callback_set(m_pClient, [](mosquitto*, void* self, int rc) {
            static_cast<CMqttPublisher*>(self)->Connected(rc);
        });
}

CMqttPublisher::~CMqttPublisher() {
    Stop();
    if (m_pClient)
        mosquitto_destroy(m_pClient);
}

void CMqttPublisher::Start() {
    if (!m_pClient || m_thread.joinable())
        return;
    m_nRetryMs = m_settings.firstRetryMs;
    m_thread = std::thread([this] { Run(); });
}

void CMqttPublisher::Stop() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CMqttPublisher::Offer(MqttMessage message) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Enqueue(std::move(message));
    }
    m_wake.notify_one();
}

std::size_t CMqttPublisher::Queued() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_queue.size();
}

void CMqttPublisher::Enqueue(MqttMessage message) {
    if (message.retained) {
        for (std::size_t i = 0; i < m_retained.size(); ++i) {
            if (m_retained[i].topic == message.topic) {
                m_retained[i] = std::move(message);
                m_retainedSent[i] = false;
                return;
            }
        }
        m_retained.push_back(std::move(message));
        m_retainedSent.push_back(false);
        return;
    }
    if (m_queue.size() >= m_settings.maxQueued) {
        m_queue.pop_front(); // the newest win
        ++m_nDropped;
    }
    m_queue.push_back(std::move(message));
}

bool CMqttPublisher::Connect() {
    // Begun here, completed by the loop (Connected): the socket does not
    // block, so a broker that never answers holds up nothing.
    const int rc = mosquitto_connect_async(m_pClient, m_target.host.c_str(),
                                           static_cast<int>(m_target.port), m_settings.keepAliveS);
    if (rc != MOSQ_ERR_SUCCESS) {
        if (!m_bLostLogged) {
            m_bLostLogged = true;
            m_events("lost", rc == MOSQ_ERR_ERRNO ? "unreachable" : mosquitto_strerror(rc));
        }
        return false;
    }
    m_bConnecting = true;
    m_nConnectingSinceMs = SteadyMs();
    return true;
}

void CMqttPublisher::Connected(int rc) {
    m_bConnecting = false;
    if (rc != 0) {
        Lose(mosquitto_connack_string(rc));
        return;
    }
    m_bLostLogged = false;
    m_bConnected = true;
    ++m_nConnections;
    m_events("connected", m_target.host + ":" + std::to_string(m_target.port));
    // The broker holds the alarms' present states, whatever it missed.
    std::lock_guard<std::mutex> guard(m_lock);
    m_retainedSent.assign(m_retained.size(), false);
}

void CMqttPublisher::Lose(std::string_view reason) {
    m_bConnected = false;
    m_bConnecting = false;
    if (!m_bLostLogged) {
        m_bLostLogged = true;
        m_events("lost", reason);
    }
    m_nRetryMs = m_settings.firstRetryMs;
    m_nNextAttemptMs = SteadyMs() + m_nRetryMs;
}

bool CMqttPublisher::PublishOne(const MqttMessage& message) {
    const int rc = mosquitto_publish(
        m_pClient, nullptr, message.topic.c_str(), static_cast<int>(message.payload.size()),
        message.payload.data(), message.retained ? 1 : 0, message.retained);
    if (rc == MOSQ_ERR_SUCCESS)
        ++m_nPublished;
    return rc == MOSQ_ERR_SUCCESS;
}

void CMqttPublisher::Run() {
    std::int64_t nextFeedMs = 0;
    for (;;) {
        const std::int64_t nowMs = SteadyMs();
        if (m_feed && nowMs >= nextFeedMs) {
            std::vector<MqttMessage> news = m_feed();
            std::lock_guard<std::mutex> guard(m_lock);
            for (MqttMessage& m : news)
                Enqueue(std::move(m));
            nextFeedMs = nowMs + m_settings.pollMs;
        }
        if (const std::uint64_t dropped = m_nDropped.load();
            dropped != m_nDroppedLogged && m_bConnected.load()) {
            m_events("dropped", std::to_string(dropped));
            m_nDroppedLogged = dropped;
        }
        if (!m_bConnected.load() && !m_bConnecting && nowMs >= m_nNextAttemptMs && !Connect()) {
            m_nNextAttemptMs = nowMs + m_nRetryMs;
            m_nRetryMs = std::min(m_nRetryMs * 2, m_settings.lastRetryMs);
        }
        if (m_bConnecting) {
            // Until the broker answers (Connected, called from the loop), or
            // gives up: the next try after the back-off.
            const int rc = mosquitto_loop(m_pClient, static_cast<int>(m_settings.pollMs), 1);
            if (m_bConnecting && (rc != MOSQ_ERR_SUCCESS ||
                                  SteadyMs() - m_nConnectingSinceMs > m_settings.connectMs)) {
                mosquitto_disconnect(m_pClient);
                m_bConnecting = false;
                if (!m_bLostLogged) {
                    m_bLostLogged = true;
                    m_events("lost", rc != MOSQ_ERR_SUCCESS ? mosquitto_strerror(rc) : "no answer");
                }
                m_nNextAttemptMs = SteadyMs() + m_nRetryMs;
                m_nRetryMs = std::min(m_nRetryMs * 2, m_settings.lastRetryMs);
            }
        }
        if (m_bConnected.load()) {
            std::deque<MqttMessage> batch;
            std::vector<MqttMessage> retained;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                batch.swap(m_queue);
                for (std::size_t i = 0; i < m_retained.size(); ++i) {
                    if (!m_retainedSent[i]) {
                        retained.push_back(m_retained[i]);
                        m_retainedSent[i] = true;
                    }
                }
            }
            for (const MqttMessage& m : retained)
                PublishOne(m);
            for (const MqttMessage& m : batch)
                PublishOne(m);
            const int rc = mosquitto_loop(m_pClient, static_cast<int>(m_settings.pollMs), 1);
            if (rc != MOSQ_ERR_SUCCESS) {
                // What was not written goes again with the next connection.
                {
                    std::lock_guard<std::mutex> guard(m_lock);
                    m_retainedSent.assign(m_retained.size(), false);
                }
                Lose(mosquitto_strerror(rc));
            }
        }
        std::unique_lock<std::mutex> guard(m_lock);
        if (m_bStop)
            break;
        if (!m_bConnected.load() && !m_bConnecting) {
            const std::int64_t untilMs = std::min(nextFeedMs, m_nNextAttemptMs) - SteadyMs();
            if (untilMs > 0)
                m_wake.wait_for(guard, std::chrono::milliseconds(untilMs),
                                [this] { return m_bStop; });
        }
    }
    if (m_bConnected.load()) {
        mosquitto_disconnect(m_pClient);
        m_bConnected = false;
    }
}

CMqttPublisher::Feed SessionFeed(const CInstrumentSession& session, std::string root) {
    auto changes = std::make_shared<CSignalKChanges>();
    return [&session, root = std::move(root), changes] {
        std::vector<MqttMessage> out;
        for (SignalKValue& v : changes->TakeNew(SignalKValues(SessionSituation(session)))) {
            std::string topic = root;
            for (const char c : "/" + v.path)
                topic += c == '.' ? '/' : c;
            out.push_back({std::move(topic), std::move(v.json), v.notification});
        }
        return out;
    };
}
