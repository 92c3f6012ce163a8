#include "shell/QuillmarDoc.h"

#include "platform/ErrorText.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <new>

void CQuillmarDoc::RemoveView(IDocumentView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

void CQuillmarDoc::UpdateAllViews(IDocumentView* sender, long hint, const FramedMessage* message) {
    // A view may be added or removed while being told (a test observer, say):
    // iterate over a copy.
    const auto views = m_views;
    for (IDocumentView* view : views) {
        if (view != sender)
            view->OnUpdate(sender, hint, message);
    }
}

bool CQuillmarDoc::AddLine(int x1, int y1, int x2, int y2) {
    if (m_arrLines.size() >= kMaxLines)
        return false;
    try {
        m_arrLines.emplace_back(x1, y1, x2, y2);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_bModified = true; // so that leaving asks whether to save
    return true;
}

QString CQuillmarDoc::Title() const {
    return m_strPathName.isEmpty() ? QStringLiteral("Quillm") : QFileInfo(m_strPathName).fileName();
}

void CQuillmarDoc::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    m_bModified = false;
}

bool CQuillmarDoc::OnSaveDocument(const QString& path, QString* error) {
    QSaveFile file(path);
    const QByteArray bytes = Store();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QCoreApplication::translate("QuillmarDoc", "无法保存文件：%1\n%2")
                     .arg(path, file.errorString());
        return false;
    }
    m_strPathName = path;
    m_bModified = false;
    return true;
}

QByteArray CQuillmarDoc::Store() const {
    const std::string bytes = StoreDocument(m_nLineFlag, m_arrLines);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool CQuillmarDoc::Load(const QByteArray& bytes, QString* error) {
    std::string reason;
    if (!LoadDocument(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                      static_cast<std::size_t>(bytes.size()), &m_nLineFlag, &m_arrLines, &reason)) {
        *error = QString::fromStdString(reason);
        return false;
    }
    m_bModified = false;
    return true;
}

bool CQuillmarDoc::OnOpenDocument(const QString& path, QString* error) {
    const RegularFile opened = OpenRegularFile(QFile::encodeName(path).toStdString());
    if (opened.fd < 0) {
        *error = QCoreApplication::translate("QuillmarDoc", "无法打开文件：%1\n%2")
                     .arg(path, opened.notRegular
                                    ? QCoreApplication::translate("QuillmarDoc", "不是普通文件")
                                    : QString::fromStdString(SystemErrorText(opened.error)));
        return false;
    }
    // The bytes the file had when opened, and no more.
    QFile file;
    file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QByteArray bytes = file.read(static_cast<qint64>(opened.size));
    if (file.error() != QFileDevice::NoError) {
        *error = QCoreApplication::translate("QuillmarDoc", "无法打开文件：%1\n%2")
                     .arg(path, file.errorString());
        return false;
    }
    QString reason;
    if (!Load(bytes, &reason)) {
        *error =
            QCoreApplication::translate("QuillmarDoc", "无法打开文件：%1\n%2").arg(path, reason);
        return false;
    }
    m_strPathName = path;
    return true;
}
