#include "shell/QuillmarDoc.h"

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
