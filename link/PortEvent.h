// Carries the serial watch thread's notifications into the user-interface
// thread's event loop. The watch thread does nothing but post these events.
#pragma once

#include "link/SerialPort.h"

#include <QEvent>
#include <QPointer>
#include <QString>

class QObject;

class CPortEvent : public QEvent {
public:
    // Each notification number gets its own event type.
    static QEvent::Type TypeOf(unsigned message) {
        return static_cast<QEvent::Type>(QEvent::User + static_cast<int>(message));
    }
    CPortEvent(unsigned message, std::uintptr_t wParam, std::uintptr_t lParam)
        : QEvent(TypeOf(message)), m_nMessage(message), m_wParam(wParam), m_lParam(lParam) {}

    unsigned m_nMessage;
    std::uintptr_t m_wParam;
    std::uintptr_t m_lParam;
};

// A driver failure composed on the thread that failed, shown on the UI thread.
class CPortErrorEvent : public QEvent {
public:
    static QEvent::Type Type() { return static_cast<QEvent::Type>(QEvent::User + 0x4FF); }
    explicit CPortErrorEvent(QString text) : QEvent(Type()), m_strText(std::move(text)) {}
    QString m_strText;
};

// Posts the port's notifications to a QObject (the main frame).
class CQtPortOwner : public IPortOwner {
public:
    explicit CQtPortOwner(QObject* target) : m_pTarget(target) {}
    void PostPortMessage(unsigned message, std::uintptr_t wParam, std::uintptr_t lParam) override;
    void PostPortError(const std::string& text) override;

private:
    QObject* m_pTarget;
};
