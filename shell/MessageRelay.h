// Hands the messages a session framed to the views: a long backlog in slices,
// one a turn of the event loop, so the window stays responsive; and draws the
// newest state at most every kRepaintMs, however often messages come.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstddef>
#include <string>

class CInstrumentSession;
class CQuillmarDoc;
class CQuillmarView;

class CMessageRelay : public QObject {
    Q_OBJECT
public:
    // target: posted a CSessionEvent when the rest of a backlog waits.
    CMessageRelay(CQuillmarDoc* document, QObject* target);

    void SetView(CQuillmarView* view) { m_pView = view; }
    // Hands the next slice of shown's messages to the views. dropped (the
    // live session while a record is replayed) has its messages taken unseen.
    void Relay(CInstrumentSession& shown, CInstrumentSession* dropped);
    // A batch half handed over belongs to the session no longer shown.
    void Forget();
    // The view drawn again soon: a burst costs one picture.
    void Repaint();

private:
    CQuillmarDoc* m_pDocument;
    QObject* m_pTarget;
    CQuillmarView* m_pView = nullptr;
    QTimer m_repaintTimer;
    // Messages taken from the session and not yet handed to the views.
    std::string m_relayBatch;
    std::size_t m_nRelayAt = 0;
    bool m_bRelaying = false;
};
