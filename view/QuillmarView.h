// The one monitoring view: receives every message from the document,
// interprets and records it, and draws the displays.
#pragma once

#include "view/ViewUpdate.h"

#include <QByteArray>
#include <QWidget>

class CQuillmarView : public QWidget, public IDocumentView {
    Q_OBJECT
public:
    explicit CQuillmarView(QWidget* parent = nullptr);
    ~CQuillmarView() override;

    void OnUpdate(IDocumentView* sender, long hint, const CReceiverMessage* message) override;

    // Command routing: true when the view handles command `id`.
    bool HasCommand(int id) const;
    bool OnCommand(int id);

    // The text of a message as the view records it: a text line whole, by its
    // length (zero bytes included); a packet's data bytes only.
    static QByteArray MessageText(const CReceiverMessage& message);

    QByteArray m_strMessage;
    long m_nMessages = 0;
};
