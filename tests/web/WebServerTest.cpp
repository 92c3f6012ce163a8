// The browser view's server on real sockets on 127.0.0.1: its pages and
// refusals, both streams, the commands and their password, and the limits
// that keep a browser from costing the session anything.
#include "web/WebServer.h"
#include "link/InstrumentSession.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QWebSocket>
#include <gtest/gtest.h>

namespace {

struct Reply {
    int status = 0;
    QByteArray head, body;
};

// One request on a connection of its own; the whole reply, or status 0.
Reply Http(quint16 port, const QByteArray& method, const QByteArray& path,
           const QByteArray& host = "127.0.0.1") {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(method + " " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    QByteArray got;
    Reply reply;
    WaitUntil([&] {
        got += socket.readAll();
        const qsizetype end = got.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        reply.head = got.left(end);
        const qsizetype at = reply.head.toLower().indexOf("content-length:");
        const qsizetype length =
            at < 0 ? 0 : reply.head.mid(at + 15).split('\r')[0].trimmed().toInt();
        if (got.size() < end + 4 + length)
            return false;
        reply.body = got.mid(end + 4, length);
        reply.status = reply.head.split(' ').value(1).toInt();
        return true;
    });
    return reply;
}

struct Client {
    QWebSocket socket;
    std::vector<QJsonObject> messages;
    bool closed = false;
    Client(quint16 port, const QString& path) {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            messages.push_back(QJsonDocument::fromJson(text.toUtf8()).object());
        });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] { closed = true; });
        socket.open(QUrl(QString("ws://127.0.0.1:%1%2").arg(port).arg(path)));
    }
    // The first message after the index `from` that holds, or an empty object.
    QJsonObject Await(const std::function<bool(const QJsonObject&)>& pred, std::size_t from = 0) {
        QJsonObject found;
        WaitUntil([&] {
            for (std::size_t i = from; i < messages.size(); ++i)
                if (pred(messages[i]))
                    return !(found = messages[i]).isEmpty();
            return false;
        });
        return found;
    }
    // Whether a state whose sample carries the heading arrives.
    bool Carries(double heading) {
        return !Await([=](const QJsonObject& m) {
                    return m["sample"].toArray().at(1) == heading;
                }).isEmpty();
    }
};

bool Is(const QJsonObject& m, const char* type) {
    return m["type"].toString() == type;
}

struct Served {
    explicit Served(const QString& password = {}, const WebLimits& limits = {}) {
        std::string error;
        EXPECT_TRUE(session.CreateRecord(folder.path, std::tm{}, &error)) << error;
        WebOptions options;
        options.password = password;
        options.vessel = "Aurora";
        options.limits = limits;
        server = std::make_unique<CWebServer>(session, options);
        QString why;
        EXPECT_TRUE(server->Listen("127.0.0.1:0", &why)) << why.toStdString();
    }
    void Feed(const std::string& lines) {
        session.Process(reinterpret_cast<const std::uint8_t*>(lines.data()), lines.size(),
                        SteadyMs());
    }
    std::string Log() const { return ReadFile(session.EventLogPath()); }
    quint16 Port() const { return server->Port(); }

    CTempFolder folder;
    CInstrumentSession session;
    std::unique_ptr<CWebServer> server;
};

} // namespace

TEST(WebServer, ServesItsPagesAndCountsWhatItRefuses) {
    Served served;
    const QByteArray self = "127.0.0.1:" + QByteArray::number(served.Port());
    const struct {
        QByteArray method, path, host;
        int status;
        QByteArray type, body;
    } cases[] = {
        {"GET", "/", "x", 200, "text/html", "<script src=\"app.js\""},
        {"GET", "/app.js", "x", 200, "text/javascript", "WebSocket"},
        {"GET", "/style.css", "x", 200, "text/css", "{"},
        {"GET", "/signalk", "ship.local:3000", 200, "application/json",
         R"("signalk-ws":"ws://ship.local:3000/signalk/v1/stream")"},
        // A Host header that is no plain host: the address bound instead.
        {"GET", "/signalk", "a b<", 200, "application/json",
         R"({"v1":{"version":"1.7.0","signalk-ws":"ws://)" + self + R"(/signalk/v1/stream"}})"},
        {"GET", "/nothing", "x", 404, "text/plain", ""},
        {"POST", "/", "x", 405, "text/plain", ""},
        {"DELETE", "/signalk", "x", 405, "text/plain", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.method + " " + c.path).toStdString());
        const Reply reply = Http(served.Port(), c.method, c.path, c.host);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_TRUE(reply.head.contains("Content-Type: " + c.type)) << reply.head.toStdString();
        EXPECT_TRUE(reply.body.contains(c.body)) << reply.body.toStdString();
        if (c.status == 200)
            EXPECT_TRUE(reply.head.contains("Cache-Control: no-cache"));
    }
    const QJsonObject discovery =
        QJsonDocument::fromJson(Http(served.Port(), "GET", "/signalk").body).object();
    EXPECT_EQ(discovery["server"].toObject()["id"].toString(), "quillmar");
    EXPECT_EQ(discovery["endpoints"].toObject()["v1"].toObject()["version"].toString(), "1.7.0");
    EXPECT_EQ(served.server->Counts().notFound, 1u);
    EXPECT_EQ(served.server->Counts().badMethod, 2u);
}

TEST(WebServer, StreamsBeginWithAHelloAndCarryTheHeadingFed) {
    const struct {
        const char* path;
        std::function<bool(const QJsonObject&)> hello, carries;
    } cases[] = {
        {"/ws",
         [](const QJsonObject& m) {
             return Is(m, "hello") && m["readOnly"].toBool() && m["vessel"] == "Aurora" &&
                    m["history"].isArray();
         },
         [](const QJsonObject& m) {
             const QJsonObject heading = m["values"].toObject()["heading"].toObject();
             return Is(m, "state") && heading["state"] == "valid" && heading["v"] == 90.5 &&
                    m["sample"].toArray().at(1) == 90.5;
         }},
        {"/signalk/v1/stream",
         [](const QJsonObject& m) { return m["name"] == "quillmar" && m.contains("self"); },
         [](const QJsonObject& m) {
             for (const QJsonValue update : m["updates"].toArray())
                 for (const QJsonValue v : update.toObject()["values"].toArray())
                     if (v.toObject()["path"] == "navigation.headingTrue")
                         return true;
             return false;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Served served;
        Client client(served.Port(), c.path);
        ASSERT_FALSE(client.Await([](const QJsonObject&) { return true; }).isEmpty());
        EXPECT_TRUE(c.hello(client.messages.front()));
        served.Feed("$GPHDT,90.5,T\r\n");
        EXPECT_FALSE(client.Await(c.carries, 1).isEmpty());
    }
}

TEST(WebServer, OnlyTheRightPasswordAcknowledgesOrSilences) {
    using enum AlertState;
    const QString ok = "s3cret";
    const char* const refused = "web,refused,127.0.0.1";
    const struct {
        QString password;
        std::vector<std::pair<QString, QString>> sent; // command, password
        QString reason;                                // of the last reply; empty: accepted
        AlertState pitch;
        const char* logged;
    } cases[] = {
        {ok, {{"ack", ok}}, "", ActiveAcknowledged, "pitch,acknowledged,web 127.0.0.1,"},
        {ok, {{"silence", ok}}, "", ActiveSilenced, "pitch,silenced,web 127.0.0.1,"},
        {ok, {{"ack", "s3cret!"}}, "password", ActiveUnacknowledged, refused},
        // Right at once after a wrong one: refused all the same for a while.
        {ok, {{"ack", "wrong"}, {"ack", ok}}, "rate", ActiveUnacknowledged, refused},
        {"", {{"ack", ""}}, "read-only", ActiveUnacknowledged, refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent.back().first.toStdString() + " " + c.reason.toStdString());
        Served served(c.password);
        AlertSettings alerts;
        alerts.delayMs = 0;
        served.session.SetAlertSettings(alerts);
        served.Feed("$PASHR,120000.00,10.0,T,1.0,45.0,0.0,0.1,0.1,0.1,1,1\r\n");
        ASSERT_EQ(served.session.Alarms().Of(AlarmSubject::Pitch), ActiveUnacknowledged);
        Client client(served.Port(), "/ws");
        ASSERT_FALSE(client.Await([](const QJsonObject& m) { return Is(m, "hello"); }).isEmpty());
        for (const auto& [command, password] : c.sent) {
            const std::size_t from = client.messages.size();
            client.socket.sendTextMessage(
                QJsonDocument(QJsonObject{{"cmd", command}, {"password", password}}).toJson());
            const QJsonObject result =
                client.Await([](const QJsonObject& m) { return Is(m, "result"); }, from);
            EXPECT_EQ(result["cmd"].toString(), command);
            if (&command == &c.sent.back().first) {
                EXPECT_EQ(result["ok"].toBool(), c.reason.isEmpty());
                EXPECT_EQ(result["reason"].toString(), c.reason);
            }
        }
        EXPECT_EQ(served.session.Alarms().Of(AlarmSubject::Pitch), c.pitch);
        EXPECT_NE(served.Log().find(c.logged), std::string::npos) << served.Log();
        EXPECT_EQ(served.server->Counts().refused, c.reason.isEmpty() ? 0u : c.sent.size());
    }
}

TEST(WebServer, WhatABrowserMayNotSendIsRefusedAndCounted) {
    const struct {
        const char* name;
        const char* path;
        std::function<void(QWebSocket&)> send;
        bool closes;
        std::uint64_t WebCounts::*count;
    } cases[] = {
        {"a frame beyond 4 KiB", "/ws",
         [](QWebSocket& s) { s.sendTextMessage(QString(5000, 'x')); }, true, &WebCounts::oversized},
        {"a stream of no such path", "/other", [](QWebSocket&) {}, true, &WebCounts::badPath},
        {"no JSON", "/ws", [](QWebSocket& s) { s.sendTextMessage("hello?"); }, false,
         &WebCounts::ignored},
        {"an unknown command", "/ws",
         [](QWebSocket& s) { s.sendTextMessage(R"({"cmd":"reboot"})"); }, false,
         &WebCounts::ignored},
        {"binary", "/ws", [](QWebSocket& s) { s.sendBinaryMessage("\x01\x02"); }, false,
         &WebCounts::ignored},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Served served("pw");
        Client client(served.Port(), c.path);
        ASSERT_TRUE(WaitUntil([&] {
            return client.socket.state() == QAbstractSocket::ConnectedState || client.closed;
        }));
        c.send(client.socket);
        EXPECT_TRUE(WaitUntil([&] { return served.server->Counts().*c.count == 1; }));
        if (c.closes) {
            EXPECT_TRUE(WaitUntil([&] { return client.closed; }));
            if (std::string_view(c.path) == "/other")
                EXPECT_EQ(client.socket.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
        } else {
            // Still served: a state with the heading fed after it.
            served.Feed("$GPHDT,12.5,T\r\n");
            EXPECT_TRUE(client.Carries(12.5));
            EXPECT_FALSE(client.closed);
        }
    }
}

TEST(WebServer, ConnectionsBeyondTheCapsAreClosedAndTheOthersServed) {
    WebLimits limits;
    limits.maxClients = 2;
    limits.maxConnections = 3;
    Served served({}, limits);
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<Client>(served.Port(), "/ws"));
        ASSERT_TRUE(
            WaitUntil([&] { return !clients.back()->messages.empty() || clients.back()->closed; }));
    }
    EXPECT_FALSE(clients[0]->closed);
    EXPECT_FALSE(clients[1]->closed);
    EXPECT_TRUE(WaitUntil([&] { return clients[2]->closed; })); // beyond the clients' cap
    // Two streams and one HTTP connection make three: a fourth is closed unread.
    ASSERT_TRUE(WaitUntil([&] { return served.server->Connections() == 2; }));
    QTcpSocket held, beyond;
    held.connectToHost(QHostAddress::LocalHost, served.Port());
    ASSERT_TRUE(WaitUntil([&] {
        return served.server->Counts().overCap == 1 &&
               held.state() == QAbstractSocket::ConnectedState;
    }));
    beyond.connectToHost(QHostAddress::LocalHost, served.Port());
    EXPECT_TRUE(WaitUntil([&] { return served.server->Counts().overCap == 2; }));
    EXPECT_TRUE(WaitUntil([&] { return beyond.state() == QAbstractSocket::UnconnectedState; }));
    served.Feed("$GPHDT,33.5,T\r\n");
    EXPECT_TRUE(clients[0]->Carries(33.5));
}

// A client that upgrades and then never reads, while the events make every
// state large: dropped by its backlog's size, or by its age; the others go on.
TEST(WebServer, AReaderThatDoesNotReadIsDropped) {
    const struct {
        const char* name;
        qint64 dropBytes;
        std::int64_t stallMs;
    } cases[] = {{"by its backlog", 64 * 1024, 600000}, {"by its age", 64 << 20, 1500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WebLimits limits;
        limits.skipBytes = 64 * 1024;
        limits.dropBytes = c.dropBytes;
        limits.stallMs = c.stallMs;
        Served served({}, limits);
        QTcpSocket stalled;
        stalled.setReadBufferSize(1);
        stalled.connectToHost(QHostAddress::LocalHost, served.Port());
        stalled.write("GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                      "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                      "Sec-WebSocket-Version: 13\r\n\r\n");
        ASSERT_TRUE(WaitUntil([&] { return served.server->Clients() == 1; }));
        Client reader(served.Port(), "/ws");
        int heading = 0;
        const std::string big(4000, 'x');
        ASSERT_TRUE(WaitUntil(
            [&] {
                // Every turn something new: a large event line, a heading.
                served.session.LogEvent("test", "filler", big + std::to_string(heading));
                served.Feed("$GPHDT," + std::to_string(++heading % 360) + ".0,T\r\n");
                return served.server->Counts().dropped == 1;
            },
            120000));
        EXPECT_NE(served.Log().find("web,dropped,127.0.0.1"), std::string::npos);
        served.Feed("$GPHDT,271.5,T\r\n");
        EXPECT_TRUE(reader.Carries(271.5));
        EXPECT_EQ(served.server->Clients(), 1);
    }
}

// A crowd at the defaults: 200 connections at once leave 128 held and the
// rest closed and counted; once the crowd goes, a page is served again.
TEST(WebServer, TwoHundredConnectionsAtTheDefaultCaps) {
    Served served;
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    for (int i = 0; i < 200; ++i) {
        crowd.push_back(std::make_unique<QTcpSocket>());
        crowd.back()->connectToHost(QHostAddress::LocalHost, served.Port());
    }
    ASSERT_TRUE(WaitUntil(
        [&] {
            return served.server->Counts().overCap == 72 && served.server->Connections() == 128;
        },
        60000))
        << served.server->Counts().overCap << " closed, " << served.server->Connections()
        << " held";
    crowd.clear();
    ASSERT_TRUE(WaitUntil([&] { return served.server->Connections() == 0; }, 60000));
    Client page(served.Port(), "/ws");
    served.Feed("$GPHDT,77.5,T\r\n");
    EXPECT_TRUE(page.Carries(77.5));
    EXPECT_EQ(served.server->Counts().overCap, 72u);
}
