// The browser view and the Signal K stream, served from the program itself
// on the main thread's event loop (QtHttpServer, QtWebSockets):
//
//   GET /, /app.js, /style.css   the page (web/page/, in the resources)
//   GET /signalk                 Signal K discovery
//   WebSocket /ws                the page's stream: a hello, then states
//   WebSocket /signalk/v1/stream Signal K: a hello, then deltas
//
// Every 100 ms the server reads the session as the window does (its values,
// alarms, sources, health and event log; the session never waits for it),
// composes the page's state once (web/WebState.h) and, when anything
// changed, hands the same text to every page; each Signal K stream gets what
// is new to it. A client that does not read is skipped while a little is
// unsent, dropped when much is, or when its backlog has not emptied for long.
// Only an acknowledge or silence with the right password (WebPassword)
// changes anything; without a password the page is read-only.
#pragma once

#include "link/SignalK.h"
#include "web/WebState.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class CInstrumentSession;
class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;
class QTcpSocket;
class QWebSocket;
class CCappedTcpServer;

struct WebLimits {
    int maxClients = 64;      // WebSocket clients
    int maxConnections = 128; // TCP connections in all
    quint64 maxFrameBytes = 4096;
    qint64 skipBytes = 256 * 1024;  // unsent beyond this: skipped for a tick
    qint64 dropBytes = 1024 * 1024; // unsent beyond this: dropped
    std::int64_t stallMs = 30000;   // unsent for this long: dropped
    std::int64_t idleMs = 10000;    // HTTP connections idle this long: closed
    std::int64_t tickMs = 100;
    std::int64_t refuseMs = 2000;    // after a wrong password
    std::int64_t historyMs = 300000; // the samples a hello carries
    std::int64_t countsLogMs = 60000;
};

struct WebOptions {
    QString lang = "zh";
    QString password; // empty: read-only
    QString vessel;
    WebLimits limits;
    // The program's text of a source's link; the URL or device without it.
    std::function<QString(const LinkState&)> linkText;
};

class CWebServer final : public QObject {
public:
    CWebServer(CInstrumentSession& session, WebOptions options, QObject* parent = nullptr);
    ~CWebServer() override;

    // "[host:]port" (host 127.0.0.1 when left out, 0.0.0.0 every interface).
    static bool ParseAddress(const QString& text, QHostAddress* host, quint16* port,
                             QString* error);
    // Binds and starts; false with the reason in the user's language.
    bool Listen(const QString& address, QString* error);
    quint16 Port() const;
    QString Address() const; // host:port as bound

    WebCounts Counts() const { return m_counts; }
    int Clients() const { return static_cast<int>(m_clients.size()); } // WebSocket
    int Connections() const;                                           // TCP, in all

private:
    enum class Stream { Page, SignalK };
    struct Client {
        QWebSocket* socket = nullptr;
        Stream stream = Stream::Page;
        QString ip;
        std::int64_t backlogSinceMs = -1; // since when something is unsent
        std::int64_t refusedUntilMs = 0;  // after a wrong password
        CSignalKChanges changes;
    };
    struct Connection {
        QPointer<QTcpSocket> socket;
        std::int64_t activeMs = 0;
        bool upgraded = false;
    };

    void Serve(const QHttpServerRequest& request, QHttpServerResponder&& responder);
    void TakeWebSockets();
    void Accept(QWebSocket* socket);
    void Refuse(QWebSocket* socket);
    void Received(Client& client, const QString& text);
    void Closed(QWebSocket* socket);
    void Tick();
    WebSituation Situation();
    // Sends text unless the client is behind; false: to be dropped.
    bool Offer(Client& client, const QString& text, std::int64_t nowMs);
    void Drop(std::vector<QWebSocket*> sockets);
    void CloseIdle(std::int64_t nowMs);
    void LogCounts(std::int64_t nowMs);
    Client* Find(QWebSocket* socket);
    void Opened(QTcpSocket* socket);

    CInstrumentSession& m_session;
    WebOptions m_options;
    QHttpServer* m_pHttp = nullptr;
    CCappedTcpServer* m_pTcp = nullptr; // the HTTP server's
    QTimer m_tick;
    std::vector<std::unique_ptr<Client>> m_clients;
    std::vector<Connection> m_connections;
    WebCounts m_counts;
    WebCounts m_countsLogged;
    std::int64_t m_nCountsLoggedMs = -1;
    std::deque<WebSample> m_history;
    QJsonObject m_lastBody;
    QString m_lastState; // the newest state sent, for pages that come later
    bool m_bListening = false;
};
