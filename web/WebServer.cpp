#include "web/WebServer.h"

#include "link/InstrumentSession.h"

#include <QCoreApplication>
#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <algorithm>
#include <unistd.h>

// The page's files, in a static library's resources: registered by hand.
static void InitPageResources() {
    Q_INIT_RESOURCE(web);
}

// The HTTP server's listener: beyond the cap a connection is closed as it
// comes, before a byte of it is read.
class CCappedTcpServer final : public QTcpServer {
public:
    CCappedTcpServer(std::function<bool()> full, std::function<void(QTcpSocket*)> opened,
                     QObject* parent)
        : QTcpServer(parent), m_full(std::move(full)), m_opened(std::move(opened)) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        if (m_full()) {
            ::close(static_cast<int>(descriptor));
            return;
        }
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        m_opened(socket);
        addPendingConnection(socket);
    }

private:
    std::function<bool()> m_full;
    std::function<void(QTcpSocket*)> m_opened;
};

namespace {

// QtHttpServer hands a WebSocket over only when a route takes its request:
// this one takes every upgrade to a WebSocket, whatever its path, and answers
// nothing (the path is judged once the WebSocket is there).
class CUpgradeRule final : public QHttpServerRouterRule {
public:
    using QHttpServerRouterRule::QHttpServerRouterRule;

protected:
    bool matches(const QHttpServerRequest& request, QRegularExpressionMatch*) const override {
        for (const auto& [name, value] : request.headers())
            if (name.compare("upgrade", Qt::CaseInsensitive) == 0 &&
                value.compare("websocket", Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }
};

QString Ip(const QHostAddress& address) {
    bool v4 = false;
    const quint32 ipv4 = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ipv4).toString() : address.toString();
}

// The same time whatever the texts hold in common.
bool SamePassword(const QByteArray& given, const QByteArray& kept) {
    unsigned difference = given.size() == kept.size() ? 0 : 1;
    for (qsizetype i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given[i]) ^
                      static_cast<unsigned char>(kept.isEmpty() ? 0 : kept[i % kept.size()]);
    return difference == 0;
}

std::int64_t ClockMs() {
    return SteadyMs();
}

} // namespace

CWebServer::CWebServer(CInstrumentSession& session, WebOptions options, QObject* parent)
    : QObject(parent), m_session(session), m_options(std::move(options)) {
    InitPageResources();
    m_pHttp = new QHttpServer(this);
    m_pHttp->setMissingHandler(
        [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
            Serve(request, std::move(responder));
        });
    m_pHttp->route<CUpgradeRule>("/", [](const QHttpServerRequest&, QHttpServerResponder&&) {});
    connect(m_pHttp, &QHttpServer::newWebSocketConnection, this, [this] { TakeWebSockets(); });
    m_tick.setInterval(static_cast<int>(m_options.limits.tickMs));
    connect(&m_tick, &QTimer::timeout, this, [this] { Tick(); });
}

CWebServer::~CWebServer() {
    m_tick.stop();
    for (auto& client : m_clients) {
        client->socket->disconnect(this);
        client->socket->abort();
        delete client->socket;
    }
    m_clients.clear();
    if (m_bListening)
        m_session.LogEvent("web", "stop");
}

bool CWebServer::ParseAddress(const QString& text, QHostAddress* host, quint16* port,
                              QString* error) {
    const qsizetype colon = text.lastIndexOf(':');
    QString hostText = colon < 0 ? QString("127.0.0.1") : text.left(colon);
    const QString portText = colon < 0 ? text : text.mid(colon + 1);
    if (hostText.startsWith('[') && hostText.endsWith(']'))
        hostText = hostText.mid(1, hostText.size() - 2);
    bool ok = false;
    const uint number = portText.toUInt(&ok);
    if (!ok || number > 65535) {
        *error = QCoreApplication::translate("WebServer", "网页服务地址 %1 无效：端口须为 0 到 "
                                                          "65535 的数字（[主机:]端口）")
                     .arg(text);
        return false;
    }
    QHostAddress address(hostText);
    if (hostText == "localhost")
        address = QHostAddress(QHostAddress::LocalHost);
    if (address.isNull()) {
        *error = QCoreApplication::translate("WebServer", "网页服务地址 %1 无效：%2 不是 IP 地址")
                     .arg(text, hostText);
        return false;
    }
    *host = address;
    *port = static_cast<quint16>(number);
    return true;
}

bool CWebServer::Listen(const QString& text, QString* error) {
    QHostAddress host;
    quint16 port = 0;
    if (!ParseAddress(text, &host, &port, error))
        return false;
    m_pTcp = new CCappedTcpServer(
        [this] {
            if (Connections() < m_options.limits.maxConnections)
                return false;
            ++m_counts.overCap;
            return true;
        },
        [this](QTcpSocket* socket) { Opened(socket); }, this);
    // A crowd arriving at once waits in the system's queue until it is
    // accepted (and, beyond the cap, closed and counted): with Qt's queue of
    // 50 the rest sat half-open, neither served nor refused.
    m_pTcp->setListenBacklogSize(2 * m_options.limits.maxConnections);
    m_pTcp->setMaxPendingConnections(m_options.limits.maxConnections);
    if (!m_pTcp->listen(host, port)) {
        *error = QCoreApplication::translate("WebServer", "无法在 %1 提供网页服务：%2")
                     .arg(text, m_pTcp->errorString());
        delete m_pTcp;
        m_pTcp = nullptr;
        return false;
    }
    m_pHttp->bind(m_pTcp);
    m_bListening = true;
    m_session.LogEvent("web", "start", Address().toStdString());
    Tick();
    m_tick.start();
    return true;
}

int CWebServer::Connections() const {
    return static_cast<int>(
        std::count_if(m_connections.begin(), m_connections.end(), [](const Connection& c) {
            return c.socket && c.socket->state() != QAbstractSocket::UnconnectedState;
        }));
}

quint16 CWebServer::Port() const {
    return m_pTcp ? m_pTcp->serverPort() : 0;
}

QString CWebServer::Address() const {
    if (!m_pTcp)
        return QString();
    const QHostAddress host = m_pTcp->serverAddress();
    const QString name = host.protocol() == QAbstractSocket::IPv6Protocol
                             ? "[" + host.toString() + "]"
                             : host.toString();
    return name + ":" + QString::number(m_pTcp->serverPort());
}

void CWebServer::Opened(QTcpSocket* socket) {
    m_connections.erase(std::remove_if(m_connections.begin(), m_connections.end(),
                                       [](const Connection& c) { return c.socket.isNull(); }),
                        m_connections.end());
    m_connections.push_back({socket, ClockMs(), false});
    const auto active = [this, socket] {
        for (Connection& c : m_connections)
            if (c.socket == socket)
                c.activeMs = ClockMs();
    };
    connect(socket, &QTcpSocket::readyRead, this, active);
    connect(socket, &QTcpSocket::bytesWritten, this, active);
}

void CWebServer::Serve(const QHttpServerRequest& request, QHttpServerResponder&& responder) {
    using Status = QHttpServerResponder::StatusCode;
    if (request.method() != QHttpServerRequest::Method::Get) {
        ++m_counts.badMethod;
        responder.write(QByteArray("Method Not Allowed\n"),
                        {{"Content-Type", "text/plain"}, {"Allow", "GET"}},
                        Status::MethodNotAllowed);
        return;
    }
    const QString path = request.url().path();
    static const struct {
        const char* path;
        const char* file;
        const char* type;
    } kPages[] = {{"/", ":/web/index.html", "text/html; charset=utf-8"},
                  {"/index.html", ":/web/index.html", "text/html; charset=utf-8"},
                  {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
                  {"/style.css", ":/web/style.css", "text/css; charset=utf-8"}};
    for (const auto& page : kPages) {
        if (path != page.path)
            continue;
        QFile file(page.file);
        if (file.open(QIODevice::ReadOnly)) {
            responder.write(file.readAll(),
                            {{"Content-Type", page.type}, {"Cache-Control", "no-cache"}});
            return;
        }
    }
    if (path == "/signalk" || path == "/signalk/") {
        // The address the client used, when it is a plain host[:port].
        QString host;
        for (const auto& [name, value] : request.headers())
            if (name.compare("host", Qt::CaseInsensitive) == 0)
                host = QString::fromLatin1(value);
        static const QRegularExpression kHost(
            R"(^(\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9.-]+)(:\d{1,5})?$)");
        if (host.size() > 255 || !kHost.match(host).hasMatch())
            host = Address();
        // Only the stream: the HTTP API is not served, so it is not announced
        // (a client would take its 404 for a fault of the server's).
        const QString body =
            QString(
                R"({"endpoints":{"v1":{"version":"1.7.0",)"
                R"("signalk-ws":"ws://%1/signalk/v1/stream"}},"server":{"id":"quillmar","version":"1.0"}})")
                .arg(host);
        responder.write(body.toUtf8(),
                        {{"Content-Type", "application/json"}, {"Cache-Control", "no-cache"}});
        return;
    }
    ++m_counts.notFound;
    responder.write(QByteArray("Not Found\n"), {{"Content-Type", "text/plain"}}, Status::NotFound);
}

void CWebServer::TakeWebSockets() {
    while (m_pHttp->hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = m_pHttp->nextPendingWebSocketConnection();
        if (socket)
            Accept(socket.release());
    }
}

void CWebServer::Accept(QWebSocket* socket) {
    socket->setParent(this);
    socket->setMaxAllowedIncomingFrameSize(m_options.limits.maxFrameBytes);
    socket->setMaxAllowedIncomingMessageSize(m_options.limits.maxFrameBytes);
    // Its TCP connection is a stream's from now on, never idle.
    for (Connection& c : m_connections) {
        if (c.socket && c.socket->peerPort() == socket->peerPort() &&
            c.socket->peerAddress() == socket->peerAddress())
            c.upgraded = true;
    }
    const QString path = socket->requestUrl().path();
    const bool page = path == "/ws";
    if (!page && path != "/signalk/v1/stream") {
        ++m_counts.badPath;
        Refuse(socket);
        return;
    }
    if (static_cast<int>(m_clients.size()) >= m_options.limits.maxClients) {
        ++m_counts.overCap;
        Refuse(socket);
        return;
    }
    auto client = std::make_unique<Client>();
    client->socket = socket;
    client->stream = page ? Stream::Page : Stream::SignalK;
    client->ip = Ip(socket->peerAddress());
    connect(socket, &QWebSocket::disconnected, this, [this, socket] { Closed(socket); });
    connect(socket, &QWebSocket::textMessageReceived, this, [this, socket](const QString& text) {
        if (Client* c = Find(socket))
            Received(*c, text);
    });
    connect(socket, &QWebSocket::binaryMessageReceived, this,
            [this](const QByteArray&) { ++m_counts.ignored; });
    m_clients.push_back(std::move(client));
    if (page) {
        WebHello hello;
        hello.lang = m_options.lang;
        hello.readOnly = m_options.password.isEmpty();
        hello.vessel = m_options.vessel;
        hello.staleMs = m_session.Monitor().StaleMs();
        hello.pitchLimit = m_session.Monitor().PitchLimit();
        hello.rollLimit = m_session.Monitor().RollLimit();
        socket->sendTextMessage(QString::fromUtf8(HelloJson(hello, m_history)));
        if (m_lastState.isEmpty() && !m_history.empty()) {
            m_lastBody = StateBody(Situation());
            m_lastState = QString::fromUtf8(StateJson(m_lastBody, m_history.back()));
        }
        if (!m_lastState.isEmpty())
            socket->sendTextMessage(m_lastState);
    } else {
        socket->sendTextMessage(
            QString::fromStdString(SignalKHello(m_options.vessel.toStdString(), EpochMsNow())));
    }
}

void CWebServer::Refuse(QWebSocket* socket) {
    // Closed as a refusal (1008), once the browser has had the close frame,
    // or a little later whatever it does.
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
    QTimer::singleShot(5000, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

CWebServer::Client* CWebServer::Find(QWebSocket* socket) {
    for (auto& c : m_clients)
        if (c->socket == socket)
            return c.get();
    return nullptr;
}

void CWebServer::Closed(QWebSocket* socket) {
    if (socket->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData)
        ++m_counts.oversized;
    m_clients.erase(std::remove_if(m_clients.begin(), m_clients.end(),
                                   [socket](const auto& c) { return c->socket == socket; }),
                    m_clients.end());
    socket->deleteLater();
}

void CWebServer::Received(Client& client, const QString& text) {
    const QJsonObject command = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString cmd = command.value("cmd").toString();
    if (client.stream != Stream::Page || (cmd != "ack" && cmd != "silence")) {
        ++m_counts.ignored;
        return;
    }
    const std::int64_t nowMs = ClockMs();
    QString reason;
    if (m_options.password.isEmpty())
        reason = "read-only";
    else if (nowMs < client.refusedUntilMs)
        reason = "rate";
    else if (!SamePassword(command.value("password").toString().toUtf8(),
                           m_options.password.toUtf8())) {
        reason = "password";
        client.refusedUntilMs = nowMs + m_options.limits.refuseMs;
    }
    QJsonObject result{{"type", "result"}, {"cmd", cmd}, {"ok", reason.isEmpty()}};
    if (!reason.isEmpty()) {
        ++m_counts.refused;
        result["reason"] = reason;
        m_session.LogEvent("web", "refused", client.ip.toStdString());
    } else if (cmd == "ack") {
        m_session.AcknowledgeAlarms("web " + client.ip.toStdString());
    } else {
        m_session.SilenceAlarms("web " + client.ip.toStdString());
    }
    client.socket->sendTextMessage(
        QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Compact)));
}

WebSituation CWebServer::Situation() {
    const CInstrumentSession& session = m_session;
    WebSituation s;
    static_cast<SignalKSituation&>(s) = SessionSituation(session);
    for (const SourceStatus& source : session.Sources()) {
        QString text = m_options.linkText ? m_options.linkText(source.link) : QString();
        if (text.isEmpty())
            text = QString::fromStdString(source.link.strSource.empty() ? source.link.strDevice
                                                                        : source.link.strSource);
        s.sources.push_back({source.strLabel, source.link, text});
    }
    s.health = session.Health();
    s.nMessages = session.MessagesFramed();
    s.events = session.RecentEvents();
    s.web = m_counts;
    return s;
}

bool CWebServer::Offer(Client& client, const QString& text, std::int64_t nowMs) {
    const WebLimits& limits = m_options.limits;
    const qint64 unsent = client.socket->bytesToWrite();
    if (unsent == 0)
        client.backlogSinceMs = -1;
    else if (client.backlogSinceMs < 0)
        client.backlogSinceMs = nowMs;
    if (unsent > limits.dropBytes ||
        (client.backlogSinceMs >= 0 && nowMs - client.backlogSinceMs > limits.stallMs))
        return false;
    if (unsent <= limits.skipBytes && !text.isEmpty()) {
        client.socket->sendTextMessage(text);
        if (client.backlogSinceMs < 0 && client.socket->bytesToWrite() > 0)
            client.backlogSinceMs = nowMs;
    }
    return true;
}

void CWebServer::Drop(std::vector<QWebSocket*> sockets) {
    for (QWebSocket* socket : sockets) {
        Client* c = Find(socket);
        if (!c)
            continue;
        ++m_counts.dropped;
        m_session.LogEvent("web", "dropped", c->ip.toStdString());
        socket->disconnect(this);
        m_clients.erase(std::remove_if(m_clients.begin(), m_clients.end(),
                                       [socket](const auto& k) { return k->socket == socket; }),
                        m_clients.end());
        socket->abort();
        socket->deleteLater();
    }
}

void CWebServer::Tick() {
    const WebSituation s = Situation();
    const std::int64_t nowMs = s.nowMs;
    m_history.push_back(SampleOf(s));
    while (!m_history.empty() &&
           m_history.front().epochMs < s.epochNowMs - m_options.limits.historyMs)
        m_history.pop_front();
    std::vector<QWebSocket*> slow;
    const bool anyPage = std::any_of(m_clients.begin(), m_clients.end(),
                                     [](const auto& c) { return c->stream == Stream::Page; });
    if (!anyPage) {
        // Nobody to tell: a page that comes is given a state composed then.
        m_lastBody = {};
        m_lastState.clear();
    } else if (QJsonObject body = StateBody(s); body != m_lastBody) {
        m_lastBody = body;
        m_lastState = QString::fromUtf8(StateJson(std::move(body), m_history.back()));
        for (auto& c : m_clients)
            if (c->stream == Stream::Page && !Offer(*c, m_lastState, nowMs))
                slow.push_back(c->socket);
    }
    bool anySignalK = false;
    for (const auto& c : m_clients)
        anySignalK = anySignalK || c->stream == Stream::SignalK;
    if (anySignalK) {
        const std::vector<SignalKValue> values = SignalKValues(s);
        for (auto& c : m_clients) {
            if (c->stream != Stream::SignalK)
                continue;
            const std::vector<SignalKValue> news = c->changes.TakeNew(values);
            const QString delta =
                news.empty() ? QString() : QString::fromStdString(SignalKDelta(news));
            // An empty turn still looks at the backlog: a stalled reader goes.
            if (!Offer(*c, delta.isEmpty() ? QString() : delta, nowMs))
                slow.push_back(c->socket);
        }
    }
    Drop(std::move(slow));
    CloseIdle(nowMs);
    LogCounts(nowMs);
}

void CWebServer::CloseIdle(std::int64_t nowMs) {
    for (Connection& c : m_connections) {
        if (c.socket && !c.upgraded && nowMs - c.activeMs > m_options.limits.idleMs &&
            c.socket->state() == QAbstractSocket::ConnectedState) {
            ++m_counts.idleClosed;
            c.socket->disconnectFromHost();
        }
    }
}

void CWebServer::LogCounts(std::int64_t nowMs) {
    if (m_counts == m_countsLogged ||
        (m_nCountsLoggedMs >= 0 && nowMs - m_nCountsLoggedMs < m_options.limits.countsLogMs))
        return;
    const struct {
        const char* what;
        std::uint64_t WebCounts::*count;
    } kCounts[] = {{"not-found", &WebCounts::notFound},    {"bad-method", &WebCounts::badMethod},
                   {"bad-path", &WebCounts::badPath},      {"over-cap", &WebCounts::overCap},
                   {"oversized", &WebCounts::oversized},   {"refusals", &WebCounts::refused},
                   {"ignored", &WebCounts::ignored},       {"slow-dropped", &WebCounts::dropped},
                   {"idle-closed", &WebCounts::idleClosed}};
    for (const auto& k : kCounts) {
        if (m_counts.*k.count != m_countsLogged.*k.count)
            m_session.LogEvent("web", k.what, std::to_string(m_counts.*k.count));
    }
    m_countsLogged = m_counts;
    m_nCountsLoggedMs = nowMs;
}
