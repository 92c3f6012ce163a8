// Carries the instrument session's notices into the user-interface thread's
// event loop. The session's thread does nothing but post these events, and a
// burst of changes is folded into one event until the window has taken it.
#pragma once

#include "link/InstrumentSession.h"

#include <QEvent>
#include <QString>
#include <atomic>

class QObject;

// Messages wait, or the link or record changed: take what is new.
class CSessionEvent : public QEvent {
public:
    static QEvent::Type Type() { return static_cast<QEvent::Type>(QEvent::User + 0x4FE); }
    CSessionEvent() : QEvent(Type()) {}
};

// A driver failure composed on the thread that failed, shown on the UI thread.
class CPortErrorEvent : public QEvent {
public:
    static QEvent::Type Type() { return static_cast<QEvent::Type>(QEvent::User + 0x4FF); }
    explicit CPortErrorEvent(QString text) : QEvent(Type()), m_strText(std::move(text)) {}
    QString m_strText;
};

// Posts the session's notices to a QObject (the main frame).
class CQtSessionListener : public ISessionListener {
public:
    explicit CQtSessionListener(QObject* target) : m_pTarget(target) {}
    void SessionChanged() override;
    void SessionError(const std::string& text) override;
    // The target calls this before it takes what is new, so that a change
    // made meanwhile posts a fresh event.
    void Taken() { m_bPosted.store(false); }

private:
    QObject* m_pTarget;
    std::atomic<bool> m_bPosted{false};
};
