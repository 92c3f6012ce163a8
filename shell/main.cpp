#include "platform/Prompter.h"
#include "shell/AppIcon.h"
#include "shell/HeadlessExport.h"
#include "shell/Language.h"
#include "shell/MainFrame.h"
#include "shell/QuillmarApp.h"

#include <QApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string_view>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char kVersion[] = "Quillmar 1.0";

// What the command line asks for that needs no window system.
enum class Request { Run, Help, Version, ExportCsv };

Request WindowlessRequest(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == "-h" || argument == "-?" || argument == "--help" ||
            argument == "--help-all")
            return Request::Help;
        if (argument == "--version")
            return Request::Version;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == "--export-csv" || argument.starts_with("--export-csv="))
            return Request::ExportCsv;
    }
    return Request::Run;
}

// The options' help, --version included (in place of --help-all, which says
// no more here).
QString HelpText(const QString& program) {
    QString help = CQuillmarApp::ParseCommandLine({program, "--help"}).error;
    const qsizetype start = help.indexOf("  --help-all");
    const qsizetype end = help.indexOf('\n', start);
    if (start < 0 || end < 0)
        return help;
    const QString line = help.mid(start, end - start);
    const qsizetype column = line.indexOf("Displays");
    if (column < 0)
        return help;
    const QString version = QString("  --version").leftJustified(column) + "Displays the version.";
    return help.replace(start, line.size(), version);
}

// True when the window system could not be reached: no X or Wayland display,
// and no platform chosen on the command line or in the environment.
bool NoDisplay(int argc, char* argv[]) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return false;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "-platform" || argument == "--platform")
            return false;
    }
    return true;
}

// SIGTERM (a logout, a service stopping it), SIGINT (Ctrl+C in a terminal),
// SIGHUP (the terminal it was started from closing) and SIGQUIT (Ctrl+\\) end
// the program as quitting does, without asking whether to stop recording
// (nobody may be there to answer): the event loop ends and the record, the
// event log and the port are closed in order. The handler only writes a byte;
// the event loop reads it.
int g_quitSignal[2] = {-1, -1};

void OnQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_quitSignal[1], &byte, 1);
}

void QuitOnSignals(QSocketNotifier*& notifier, const CQuillmarApp& app) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_quitSignal) != 0)
        return;
    notifier = new QSocketNotifier(g_quitSignal[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [&app] {
        if (app.Frame())
            app.Frame()->SetAskBeforeQuit(false);
        QApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        sigaction(signal, &action, nullptr);
}

// Sources, record files and the sharing server's clients all take
// descriptors: the soft limit (often 1024) goes up to what this user may have.
void RaiseDescriptorLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // Help, version and a CSV export are done before any window system is needed.
    if (const Request request = WindowlessRequest(argc, argv); request != Request::Run) {
        QCoreApplication core(argc, argv);
        if (request == Request::ExportCsv) {
            // The settings (the language among them) are the window's.
            QCoreApplication::setOrganizationName("Quillmar Solution");
            QCoreApplication::setApplicationName("Quillmar");
            // "-platform NAME" is the window system's, which an export does without.
            QStringList arguments = QCoreApplication::arguments();
            for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
                if (arguments[i] == "-platform" || arguments[i] == "--platform")
                    arguments.remove(i--, 2);
            }
            const CCommandLineInfo info = CQuillmarApp::ParseCommandLine(arguments);
            if (!info.error.isEmpty()) {
                std::fprintf(stderr, "quillmar: %s\n", qPrintable(info.error));
                return 2;
            }
            // Its messages speak the window's language.
            ApplyLanguage(info.language);
            return RunCsvExport(info);
        }
        if (request == Request::Version)
            std::printf("%s\n", kVersion);
        else
            std::printf("%s", qPrintable(HelpText(QCoreApplication::arguments().constFirst())));
        return 0;
    }
    // Without a display, the window is drawn offscreen: a screenshot run
    // needs no more. Another run has nothing to show and ends below.
    RaiseDescriptorLimit();
    // A service (--headless) never needs a display, whatever its environment.
    const bool headless = std::any_of(argv + 1, argv + argc, [](const char* argument) {
        return std::string_view(argument) == "--headless";
    });
    const bool noDisplay = headless || NoDisplay(argc, argv);
    if (noDisplay)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication application(argc, argv);
    QApplication::setOrganizationName("Quillmar Solution");
    QApplication::setApplicationName("Quillmar");
    // The desktop entry's name ties the window to its entry and icon (Wayland's app id).
    QApplication::setDesktopFileName("org.quillmar.Quillmar");
    QApplication::setWindowIcon(QuillmarIcon());
    const CCommandLineInfo info = CQuillmarApp::ParseCommandLine(QApplication::arguments());
    if (!info.error.isEmpty()) {
        const bool help = info.error.startsWith("Usage");
        std::fprintf(help ? stdout : stderr, "%s%s\n",
                     help ? "" : "quillmar: ", qPrintable(info.error));
        return help ? 0 : 2;
    }
    if (noDisplay && info.screenshotFile.isEmpty() && !info.headless) {
        std::fprintf(stderr, "quillmar: no display (DISPLAY and WAYLAND_DISPLAY are not set); "
                             "start it on a desktop, or with --screenshot FILE or -platform "
                             "offscreen\n");
        return 1;
    }
    // The window's language, Qt's own texts (message box buttons, file and
    // print dialogs) with it.
    ApplyLanguage(info.language);
    // A screenshot run ends by itself and a service has nobody at its
    // screen: nobody is there to answer a box.
    CUnattendedPrompter unattended;
    if (!info.screenshotFile.isEmpty() || info.headless)
        CPrompter::Install(&unattended);
    CQuillmarApp app;
    QSocketNotifier* quitNotifier = nullptr;
    QuitOnSignals(quitNotifier, app);
    if (!app.InitInstance(info))
        return 1;
    return QApplication::exec();
}
