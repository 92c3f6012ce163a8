#include "view/QuillmarView.h"

#include "link/ReceiverMessage.h"

CQuillmarView::CQuillmarView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
}

CQuillmarView::~CQuillmarView() = default;

QByteArray CQuillmarView::MessageText(const CReceiverMessage& message) {
    const std::string_view bytes = message.m_bTextLine ? message.Bytes() : message.Payload();
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void CQuillmarView::OnUpdate(IDocumentView*, long hint, const CReceiverMessage* message) {
    if (hint != HINT_NEW_MESSAGE || !message)
        return;
    m_strMessage = MessageText(*message);
    ++m_nMessages;
}

bool CQuillmarView::HasCommand(int) const {
    return false;
}

bool CQuillmarView::OnCommand(int id) {
    return HasCommand(id);
}
