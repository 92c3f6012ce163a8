#include "shell/QuillmarDoc.h"

#include <QDataStream>
#include <QFile>
#include <algorithm>

void CQuillmarDoc::RemoveView(IDocumentView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

void CQuillmarDoc::UpdateAllViews(IDocumentView* sender, long hint,
                                  const CReceiverMessage* message) {
    // A view may be added or removed while being told (a test observer, say):
    // iterate over a copy.
    const auto views = m_views;
    for (IDocumentView* view : views) {
        if (view != sender)
            view->OnUpdate(sender, hint, message);
    }
}

void CQuillmarDoc::AddLine(int x1, int y1, int x2, int y2) {
    m_arrLines.emplace_back(x1, y1, x2, y2);
    m_bModified = true;
}

QByteArray CQuillmarDoc::Store() const {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << qint32(m_nLineFlag);
    for (std::size_t i = 0; i < m_arrLines.size(); ++i) {
        CLine line = m_arrLines[i];
        line.SetContinuation(i + 1 == m_arrLines.size() ? CLine::kLast : CLine::kMore);
        line.Store(out);
    }
    return bytes;
}

bool CQuillmarDoc::Load(const QByteArray& bytes, QString* error) {
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    qint32 flag = 0;
    in >> flag;
    if (in.status() != QDataStream::Ok) {
        *error = "文件太短，不是 Quillmar 文档";
        return false;
    }
    if (flag != 0 && flag != 1) {
        // The program only ever writes 0 or 1 here.
        *error = "不是 Quillmar 文档";
        return false;
    }
    std::vector<CLine> lines;
    // Segments follow only a flag of 1. A flag of 1 alone is a document saved
    // after the line tool was armed but before anything was drawn.
    if (flag == 1 && !in.atEnd()) {
        for (;;) {
            CLine line;
            line.Load(in);
            if (in.status() != QDataStream::Ok) {
                *error = QString("文件在第 %1 条线段处中断，已损坏").arg(lines.size() + 1);
                return false;
            }
            lines.push_back(line);
            if (line.Continuation() != CLine::kMore)
                break;
        }
        lines.back().SetContinuation(CLine::kMore); // further segments may follow it
    }
    m_nLineFlag = flag;
    m_arrLines = std::move(lines);
    m_bModified = false;
    return true;
}

bool CQuillmarDoc::OnOpenDocument(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QString("无法打开文件：%1\n%2").arg(path, file.errorString());
        return false;
    }
    QString reason;
    if (!Load(file.readAll(), &reason)) {
        *error = QString("无法打开文件：%1\n%2").arg(path, reason);
        return false;
    }
    m_strPathName = path;
    return true;
}
