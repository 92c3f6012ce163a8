#include "shell/SessionEvents.h"

#include <QCoreApplication>

void CQtSessionListener::SessionChanged() {
    if (!m_bPosted.exchange(true))
        QCoreApplication::postEvent(m_pTarget, new CSessionEvent);
}

void CQtSessionListener::SessionError(const std::string& text) {
    QCoreApplication::postEvent(m_pTarget, new CPortErrorEvent(QString::fromUtf8(text)));
}
