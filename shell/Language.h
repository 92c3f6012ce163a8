// The window's language: Chinese, the texts as written in the sources, or
// English from translations/quillmar_en.ts (built into the program). Qt's own
// dialogs follow: Qt's Chinese catalogue is loaded only for Chinese, Qt's own
// texts being English already.
#pragma once

#include <QString>
#include <QStringList>

// "en" or "zh": the --lang option when given, else the setting "Language",
// else English when the system's first user-interface language is English
// (LC_ALL, LC_MESSAGES, LANG), else Chinese. An empty string when the option
// names neither.
QString ChooseLanguage(const QString& option, const QString& setting,
                       const QStringList& uiLanguages);

// Installs the translators of language ("en" or "zh", from ChooseLanguage)
// in place of those installed before, including the one the Qt-free code's
// texts go through. Widgets made afterwards speak it.
void ApplyLanguage(const QString& language);
