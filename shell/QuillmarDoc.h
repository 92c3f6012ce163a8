// The document: the line segments drawn with the view's line tool, kept in a
// document file, and the relay that tells the views of every received message.
#pragma once

#include "survey/Line.h"
#include "view/DrawingDocument.h"
#include "view/ViewUpdate.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstddef>
#include <vector>

class CQuillmarDoc : public QObject, public IDrawingDocument {
    Q_OBJECT
public:
    // The most segments a document holds; a press beyond is refused.
    static constexpr std::size_t kMaxLines = 10'000'000;

    void AddView(IDocumentView* view) { m_views.push_back(view); }
    void RemoveView(IDocumentView* view);
    void UpdateAllViews(IDocumentView* sender, long hint, const FramedMessage* message);

    bool AddLine(int x1, int y1, int x2, int y2) override;
    void SetLineFlag(int flag) override { m_nLineFlag = flag; }
    int LineFlag() const { return m_nLineFlag; }
    const std::vector<CLine>& Lines() const { return m_arrLines; }
    void DeleteContents() { m_arrLines.clear(); }
    bool IsModified() const { return m_bModified; }
    void SetModified(bool modified) { m_bModified = modified; }
    const QString& PathName() const { return m_strPathName; }
    // The file's name, or "Quillm" for a document not yet saved.
    QString Title() const;

    // A new, empty document (the line flag stays as it was).
    void OnNewDocument();

    // The file's bytes: the line flag, then every segment with the marker 4
    // on the last one.
    QByteArray Store() const;
    // Replaces the contents with a file's bytes; a truncated or foreign file
    // changes nothing and says why in *error.
    bool Load(const QByteArray& bytes, QString* error);

    // Opens a document file; on failure the current document stays as it was
    // and *error names the file and the reason.
    bool OnOpenDocument(const QString& path, QString* error);
    // Saves to path through a temporary file renamed over it at the end, so a
    // crash or a full disk leaves the old file as it was.
    bool OnSaveDocument(const QString& path, QString* error);

private:
    std::vector<IDocumentView*> m_views;
    std::vector<CLine> m_arrLines;
    int m_nLineFlag = 0;
    bool m_bModified = false;
    QString m_strPathName;
};
