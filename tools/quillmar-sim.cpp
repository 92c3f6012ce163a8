// quillmar-sim: a simulated attitude instrument on a pseudo-terminal.
//
//   quillmar-sim [--rate HZ] [--n-every SECONDS] [--link PATH] [--ticks N]
//                [--sentences LIST] [--talker TT] [--bad-checksum-every N]
//                [--stall-after S --stall-for S] [--offset DEG] [--drift DEG_PER_MIN]
//                [--noise DEG] [--seed N] [--stuck-after S] [--source-out SOURCE]...
//                [--run-app PROGRAM [ARGS...]]
//
// Prints the device to open, sends the traffic of a turning, pitching,
// rolling vessel and logs every command packet the program sends back. Each
// --source-out adds one more source of the same vessel (a gyro, a second
// compass) on a pty of its own or over UDP. With --run-app it starts PROGRAM
// with "--port DEVICE ARGS..." and stops when it exits.
#include "tools/SimSource.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char cell[4];
    for (unsigned char c : bytes) {
        std::snprintf(cell, sizeof cell, "%s%02X", out.empty() ? "" : " ", c);
        out += cell;
    }
    return out;
}

// The usage, on the error stream after a wrong option (status 2), or asked
// for with --help on the output (status 0).
int Usage(std::FILE* to = stderr) {
    std::fputs("usage: quillmar-sim [--rate HZ] [--n-every SECONDS] [--link PATH] [--ticks N]\n"
               "                    [--sentences LIST] [--talker TT] [--bad-checksum-every N]\n"
               "                    [--stall-after S --stall-for S] [--offset DEG]\n"
               "                    [--drift DEG_PER_MIN] [--noise DEG] [--seed N]\n"
               "                    [--stuck-after S] [--source-out SOURCE]...\n"
               "                    [--run-app PROGRAM [ARGS...]]\n"
               "A simulated attitude instrument on a pseudo-terminal: prints the device to open,\n"
               "sends the sentences of LIST (default c,hdt,rot,gga; also ths, hpr, psat, pashr)\n"
               "HZ times a second (default 10; gga once a second) from talker TT (default GP),\n"
               "an 'n' packet every SECONDS (default 30, 0 for never), a wrong checksum every\n"
               "N ticks, and nothing at all for S seconds after the first S; it logs the\n"
               "command packets it receives. --run-app starts PROGRAM --port DEVICE ARGS...\n"
               "and stops with it. --drop-after and --drop-for are --stall-after and\n"
               "--stall-for.\n"
               "The heading departs from the vessel's by --offset degrees, a growing offset of\n"
               "--drift degrees a minute and noise of --noise degrees (standard deviation,\n"
               "the same for the same --seed); from --stuck-after S on it stops changing.\n"
               "--source-out adds a source of the same vessel (repeatable):\n"
               "  NAME=pty[:LINK][,KEY=VALUE...]      on a pty of its own (LINK: a symlink)\n"
               "  NAME=udp:HOST:PORT[,KEY=VALUE...]   a datagram a tick to HOST:PORT\n"
               "                                      (unicast or a multicast group)\n"
               "KEYs: sentences=LIST (default hdt,rot), talker=TT (default HE; a talker other\n"
               "than GP sends ROT as the heading's rate of turn), offset=DEG, drift=DEG_PER_MIN,\n"
               "noise=DEG, seed=N, stuck-after=S, drop-after=S, drop-for=S (nothing sent),\n"
               "n-every=SECONDS (default 0); over UDP format=iec450 sends each sentence in an\n"
               "IEC 61162-450 datagram (UdPbC, a tag block with s:ID, n:, c:; id=ID, default\n"
               "QM0001), format=nmea (the default) a tick's sentences as they are. E.g.\n"
               "  --source-out gyro=pty:/tmp/gyro,sentences=hdt,rot,talker=HE,drift=2\n"
               "  --source-out mag=udp:239.192.0.2:60002,talker=HC,offset=1.5,noise=0.3\n"
               "  --source-out gyro=udp:239.192.0.2:60002,format=iec450,id=GY0001\n",
               to);
    return to == stdout ? 0 : 2;
}
} // namespace

int main(int argc, char* argv[]) {
    double rate = 10.0;
    TrafficOptions traffic;
    double stallAfter = -1, stallFor = 0;
    long long ticks = -1;
    std::string link;
    std::vector<std::string> app;
    std::vector<std::unique_ptr<CSimSource>> sources;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h")
            return Usage(stdout);
        else if (arg == "--rate" && hasValue)
            rate = std::atof(argv[++i]);
        else if (arg == "--n-every" && hasValue)
            traffic.nPacketEverySeconds = std::atof(argv[++i]);
        else if (arg == "--link" && hasValue)
            link = argv[++i];
        else if (arg == "--ticks" && hasValue)
            ticks = std::atoll(argv[++i]);
        else if (arg == "--sentences" && hasValue) {
            if (!traffic.ParseSentences(argv[++i]))
                return Usage();
        } else if (arg == "--talker" && hasValue && std::strlen(argv[i + 1]) == 2)
            traffic.talker = argv[++i];
        else if (arg == "--bad-checksum-every" && hasValue)
            traffic.badChecksumEvery = std::strtoull(argv[++i], nullptr, 10);
        else if ((arg == "--stall-after" || arg == "--drop-after") && hasValue)
            stallAfter = std::atof(argv[++i]);
        else if ((arg == "--stall-for" || arg == "--drop-for") && hasValue)
            stallFor = std::atof(argv[++i]);
        else if (arg == "--offset" && hasValue)
            traffic.faults.offsetDeg = std::atof(argv[++i]);
        else if (arg == "--drift" && hasValue)
            traffic.faults.driftDegPerMin = std::atof(argv[++i]);
        else if (arg == "--noise" && hasValue)
            traffic.faults.noiseDeg = std::atof(argv[++i]);
        else if (arg == "--seed" && hasValue)
            traffic.faults.seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--stuck-after" && hasValue)
            traffic.faults.stuckAfterS = std::atof(argv[++i]);
        else if (arg == "--source-out" && hasValue) {
            std::string why;
            std::optional<SimSourceSettings> settings = SimSourceSettings::Parse(argv[++i], &why);
            if (!settings) {
                std::fprintf(stderr, "quillmar-sim: --source-out %s: %s\n", argv[i], why.c_str());
                return Usage();
            }
            sources.push_back(std::make_unique<CSimSource>(std::move(*settings)));
        } else if (arg == "--run-app" && hasValue) {
            app.assign(argv + i + 1, argv + argc);
            break;
        } else
            return Usage();
    }
    if (rate <= 0 || rate > 10000)
        return Usage();

    CInstrumentSimulator sim;
    std::string error;
    if (!sim.Open(&error, link)) {
        std::fprintf(stderr, "quillmar-sim: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("quillmar-sim: instrument on %s\n",
                link.empty() ? sim.SlavePath().c_str() : link.c_str());
    for (const auto& source : sources) {
        if (!source->Open(&error)) {
            std::fprintf(stderr, "quillmar-sim: %s: %s\n", source->Settings().name.c_str(),
                         error.c_str());
            return 1;
        }
        std::printf("quillmar-sim: %s on %s\n", source->Settings().name.c_str(),
                    source->Where().c_str());
    }
    std::fflush(stdout);

    pid_t child = -1;
    if (!app.empty()) {
        child = fork();
        if (child == 0) {
            std::vector<char*> args;
            args.push_back(app[0].data());
            std::string portFlag = "--port";
            std::string device = link.empty() ? sim.SlavePath() : link;
            args.push_back(portFlag.data());
            args.push_back(device.data());
            for (std::size_t k = 1; k < app.size(); ++k)
                args.push_back(app[k].data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            std::fprintf(stderr, "quillmar-sim: cannot start %s: %s\n", args[0],
                         std::strerror(errno));
            _exit(127);
        }
    }

    int exitCode = 0;
    const double start = Now();
    std::uint64_t tick = 0;
    while (!g_stop && (ticks < 0 || static_cast<long long>(tick) < ticks)) {
        const double due = start + static_cast<double>(tick) / rate;
        const double wait = due - Now();
        if (wait > 0) {
            pollfd in{sim.MasterFd(), POLLIN, 0};
            poll(&in, 1, static_cast<int>(wait * 1000) + 1);
        }
        for (const std::string& command : sim.ReadCommands()) {
            std::printf("quillmar-sim: command packet %02X received: %s\n",
                        static_cast<unsigned char>(command[2]), Hex(command).c_str());
            std::fflush(stdout);
        }
        for (const auto& source : sources) {
            for (const std::string& command : source->ReadCommands()) {
                std::printf("quillmar-sim: %s: command packet %02X received: %s\n",
                            source->Settings().name.c_str(), static_cast<unsigned char>(command[2]),
                            Hex(command).c_str());
                std::fflush(stdout);
            }
        }
        if (child > 0) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
                child = -1;
                break;
            }
        }
        if (Now() < due)
            continue;
        // A stall: the vessel moves on, the instrument says nothing.
        const double t = static_cast<double>(tick) / rate;
        const bool stalled = stallAfter >= 0 && t >= stallAfter && t < stallAfter + stallFor;
        if (!stalled && !sim.Write(CInstrumentSimulator::Traffic(tick, rate, traffic))) {
            std::fprintf(stderr, "quillmar-sim: the line is gone\n");
            exitCode = 1;
            break;
        }
        for (const auto& source : sources) {
            if (!source->Tick(tick, rate)) {
                std::fprintf(stderr, "quillmar-sim: %s: cannot send: %s\n",
                             source->Settings().name.c_str(), std::strerror(errno));
                exitCode = 1;
                g_stop = 1;
            }
        }
        ++tick;
    }
    if (child > 0) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
    }
    sim.Close();
    return exitCode;
}
