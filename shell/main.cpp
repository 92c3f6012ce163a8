#include "platform/Prompter.h"
#include "shell/QuillmarApp.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

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

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName("Quillmar Solution");
    QApplication::setApplicationName("Quillmar");
    const CCommandLineInfo info = CQuillmarApp::ParseCommandLine(QApplication::arguments());
    if (!info.error.isEmpty()) {
        const bool help = info.error.startsWith("Usage");
        std::fprintf(help ? stdout : stderr, "%s%s\n",
                     help ? "" : "quillmar: ", qPrintable(info.error));
        return help ? 0 : 2;
    }
    // Qt's own texts (message box buttons, file and print dialogs) in
    // Chinese, as the rest of the window, whatever the system's language.
    QTranslator qtTexts;
    if (qtTexts.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    CFileTypeTexts fileTypeTexts;
    QApplication::installTranslator(&fileTypeTexts);
    // A screenshot run ends by itself: nobody is there to answer a box.
    CUnattendedPrompter unattended;
    if (!info.screenshotFile.isEmpty())
        CPrompter::Install(&unattended);
    CQuillmarApp app;
    if (!app.InitInstance(info))
        return 1;
    return QApplication::exec();
}
