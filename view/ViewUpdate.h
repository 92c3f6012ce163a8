// What the document hands to its views. Hint 1000 carries a completed message
// from the instrument; the message is valid only during the call.
#pragma once

struct FramedMessage;

constexpr long HINT_NEW_MESSAGE = 1000;

class IDocumentView {
public:
    virtual ~IDocumentView() = default;
    virtual void OnUpdate(IDocumentView* sender, long hint, const FramedMessage* message) = 0;
};
