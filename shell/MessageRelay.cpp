#include "shell/MessageRelay.h"

#include "link/InstrumentSession.h"
#include "shell/QuillmarDoc.h"
#include "shell/SessionEvents.h"
#include "view/QuillmarView.h"
#include "view/ViewUpdate.h"

#include <QCoreApplication>

namespace {
constexpr int kRepaintMs = 50;
// Messages handed to the views in one turn of the event loop.
constexpr int kRelaySlice = 20000;
} // namespace

CMessageRelay::CMessageRelay(CQuillmarDoc* document, QObject* target)
    : m_pDocument(document), m_pTarget(target) {
    m_repaintTimer.setSingleShot(true);
    m_repaintTimer.setInterval(kRepaintMs);
    connect(&m_repaintTimer, &QTimer::timeout, this, [this] {
        if (m_pView)
            m_pView->update();
    });
}

void CMessageRelay::Relay(CInstrumentSession& shown, CInstrumentSession* dropped) {
    // A view that runs an event loop while being told (a modal box) must not
    // be told the next messages under its feet; the outer call goes on.
    if (m_bRelaying || !m_pDocument)
        return;
    m_bRelaying = true;
    if (m_nRelayAt >= m_relayBatch.size()) {
        // While a record is replayed, the live messages are recorded and
        // interpreted as ever, but the window shows the replay's.
        if (dropped)
            dropped->TakeMessages();
        m_relayBatch = shown.TakeMessages();
        m_nRelayAt = 0;
    }
    CMessageQueue::CReader reader(m_relayBatch, m_nRelayAt);
    FramedMessage message;
    for (int n = 0; n < kRelaySlice && reader.Next(message); ++n)
        m_pDocument->UpdateAllViews(nullptr, HINT_NEW_MESSAGE, &message);
    m_nRelayAt = reader.Position();
    const bool more = m_nRelayAt < m_relayBatch.size();
    if (!more)
        Forget();
    m_bRelaying = false;
    // The rest of a long backlog after whatever else waits (input, paints).
    if (more)
        QCoreApplication::postEvent(m_pTarget, new CSessionEvent);
}

void CMessageRelay::Forget() {
    m_relayBatch = std::string();
    m_nRelayAt = 0;
}

void CMessageRelay::Repaint() {
    if (!m_repaintTimer.isActive())
        m_repaintTimer.start();
}
