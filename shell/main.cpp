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
    CQuillmarApp app;
    if (!app.InitInstance(info))
        return 1;
    return QApplication::exec();
}
