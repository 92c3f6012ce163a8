// The document: holds the drawn line segments and tells its views of every
// received message.
#pragma once

#include "view/ViewUpdate.h"

#include <QObject>
#include <vector>

class CQuillmarDoc : public QObject {
    Q_OBJECT
public:
    void AddView(IDocumentView* view) { m_views.push_back(view); }
    void RemoveView(IDocumentView* view);
    void UpdateAllViews(IDocumentView* sender, long hint, const CReceiverMessage* message);

private:
    std::vector<IDocumentView*> m_views;
};
