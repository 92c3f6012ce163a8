#include "platform/Prompter.h"
#include "shell/QuillmarApp.h"

#include <QApplication>
#include <cstdio>

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
    // A screenshot run ends by itself: nobody is there to answer a box.
    CUnattendedPrompter unattended;
    if (!info.screenshotFile.isEmpty())
        CPrompter::Install(&unattended);
    CQuillmarApp app;
    if (!app.InitInstance(info))
        return 1;
    return QApplication::exec();
}
