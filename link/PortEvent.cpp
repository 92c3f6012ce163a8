#include "link/PortEvent.h"

#include <QCoreApplication>

void CQtPortOwner::PostPortMessage(unsigned message, std::uintptr_t wParam, std::uintptr_t lParam) {
    QCoreApplication::postEvent(m_pTarget, new CPortEvent(message, wParam, lParam));
}

void CQtPortOwner::PostPortError(const std::string& text) {
    QCoreApplication::postEvent(m_pTarget, new CPortErrorEvent(QString::fromLocal8Bit(text)));
}
