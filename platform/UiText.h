// Texts of the user interface written in the Qt-free code (system errors, a
// recording's summary, file errors). They are written in Chinese, as shown
// by default; the Qt layer sets a translator that gives them in the window's
// language (see shell/Language.h). lupdate reads UiText(context, text) as it
// reads QCoreApplication::translate.
#pragma once

#include <initializer_list>
#include <string>

// Marks a text translated later, where it is shown (as Qt's own macro does).
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

using UiTextTranslator = std::string (*)(const char* context, const char* text);

// Installed once at start-up, before any thread that shows texts runs; null
// for the texts as written.
void SetUiTextTranslator(UiTextTranslator translator);

// The text in the window's language.
std::string UiText(const char* context, const char* text);

// text with %1, %2, … replaced by args in order.
std::string FillIn(const std::string& text, std::initializer_list<std::string> args);
