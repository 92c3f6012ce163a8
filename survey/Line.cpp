#include "survey/Line.h"

void CLine::Store(QDataStream& out) const {
    out << qint32(m_nStartX) << qint32(m_nStartY) << qint32(m_nEndX) << qint32(m_nEndY)
        << qint32(m_nContinuation) << qint32(m_nGroup);
}

void CLine::Load(QDataStream& in) {
    qint32 v[6] = {};
    for (qint32& value : v)
        in >> value;
    if (in.status() != QDataStream::Ok)
        return;
    m_nStartX = v[0], m_nStartY = v[1], m_nEndX = v[2], m_nEndY = v[3];
    m_nContinuation = v[4], m_nGroup = v[5];
}
