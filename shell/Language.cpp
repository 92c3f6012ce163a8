#include "shell/Language.h"

#include "platform/UiText.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace {

// The file dialog's words for a folder and a drive, which Debian's catalogue
// of Qt's texts leaves in English.
class CFileTypeTexts : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        if (qstrcmp(source, "Folder") == 0)
            return QStringLiteral("文件夹");
        if (qstrcmp(source, "Drive") == 0)
            return QStringLiteral("驱动器");
        return {};
    }
    bool isEmpty() const override { return false; }
};

std::string TranslateUiText(const char* context, const char* text) {
    return QCoreApplication::translate(context, text).toStdString();
}

// The translators installed by the last ApplyLanguage.
std::vector<std::unique_ptr<QTranslator>>& Installed() {
    static std::vector<std::unique_ptr<QTranslator>> translators;
    return translators;
}

} // namespace

QString ChooseLanguage(const QString& option, const QString& setting,
                       const QStringList& uiLanguages) {
    if (!option.isEmpty())
        return option == "en" || option == "zh" ? option : QString();
    if (setting == "en" || setting == "zh")
        return setting;
    const QString system = uiLanguages.isEmpty() ? QString() : uiLanguages.constFirst();
    return system == "en" || system.startsWith("en-") || system.startsWith("en_") ? "en" : "zh";
}

void ApplyLanguage(const QString& language) {
    for (const auto& translator : Installed())
        QCoreApplication::removeTranslator(translator.get());
    Installed().clear();
    if (language == "en") {
        auto english = std::make_unique<QTranslator>();
        if (english->load(":/i18n/quillmar_en.qm"))
            Installed().push_back(std::move(english));
    } else {
        auto qtTexts = std::make_unique<QTranslator>();
        if (qtTexts->load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            Installed().push_back(std::move(qtTexts));
        Installed().push_back(std::make_unique<CFileTypeTexts>());
    }
    for (const auto& translator : Installed())
        QCoreApplication::installTranslator(translator.get());
    SetUiTextTranslator(TranslateUiText);
}
