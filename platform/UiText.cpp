#include "platform/UiText.h"

#include <atomic>

namespace {
std::atomic<UiTextTranslator> g_translator{nullptr};
} // namespace

void SetUiTextTranslator(UiTextTranslator translator) {
    g_translator.store(translator);
}

std::string UiText(const char* context, const char* text) {
    const UiTextTranslator translator = g_translator.load();
    return translator ? translator(context, text) : std::string(text);
}

std::string FillIn(const std::string& text, std::initializer_list<std::string> args) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t n = i + 1 < text.size() ? text[i + 1] - '1' : args.size();
        if (text[i] == '%' && n < args.size()) {
            out += args.begin()[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}
