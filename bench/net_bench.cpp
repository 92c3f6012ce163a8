// A TCP source at full speed: a local sender pushes 64 MiB of the simulator's
// traffic as fast as loopback takes it, and the session (on its own thread, as
// in the program) frames, interprets and records it, timing file and all.
// The figure runs from the connection to the last message recorded; the
// window's queue is emptied every millisecond, as the window would. With
// /Serving:1 the session also shares every text line with 10 reading clients
// and one that never reads (dropped at its 1 MiB queue).
#include "link/InstrumentSession.h"
#include "tools/Simulator.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

const std::string& Stream() {
    static const std::string stream = [] {
        std::string s;
        for (std::uint64_t tick = 0; s.size() < (64u << 20); ++tick)
            s += CInstrumentSimulator::Traffic(tick, 10.0, 1);
        return s;
    }();
    return stream;
}

std::uint64_t MessagesIn(const std::string& stream) {
    std::uint64_t count = 0;
    CReceiverMessage framer;
    framer.Feed(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
                [&](const FramedMessage&) { ++count; });
    return count;
}

sockaddr_in Loopback(unsigned port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int Client(unsigned port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return fd;
}

void BM_TcpSourceIntoRecord(benchmark::State& state) {
    const bool serving = state.range(0) != 0;
    const std::string& stream = Stream();
    static const std::uint64_t messages = MessagesIn(stream);
    char folder[] = "/tmp/quillmar-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    double cpuSeconds = 0; // of the whole process, the sender's copying included
    for (auto _ : state) {
        state.PauseTiming();
        const int listening = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        bind(listening, reinterpret_cast<sockaddr*>(&address), length);
        listen(listening, 1);
        getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length);
        auto session = std::make_unique<CInstrumentSession>();
        std::string error;
        std::tm when{};
        when.tm_sec = static_cast<int>(state.iterations());
        session->CreateRecord(folder, when, &error);
        std::vector<int> clients;
        std::vector<std::thread> readers;
        if (serving) {
            session->Serve("127.0.0.1", 0, &error);
            for (int i = 0; i < 11; ++i)
                clients.push_back(Client(session->ServePort()));
            for (int i = 0; i < 10; ++i) // the 11th never reads
                readers.emplace_back([fd = clients[i]] {
                    static thread_local char buffer[1 << 16];
                    while (recv(fd, buffer, sizeof buffer, 0) > 0) {
                    }
                });
        }
        SourceAddress source;
        SourceAddress::Parse("tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port)), &source,
                             &error);
        session->UseSourceAddress(source);
        session->Start();
        const int peer = accept(listening, nullptr, nullptr);
        state.ResumeTiming();
        const double cpuBefore = ProcessCpuSeconds();
        send(peer, stream.data(), stream.size(), MSG_NOSIGNAL);
        while (session->MessagesFramed() < messages) {
            session->TakeMessages(); // as the window takes them
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        state.PauseTiming();
        cpuSeconds += ProcessCpuSeconds() - cpuBefore;
        if (serving && session->ServePort() == 0)
            state.SkipWithError("not serving");
        close(peer);
        close(listening);
        session.reset();
        for (int fd : clients)
            shutdown(fd, SHUT_RDWR);
        for (std::thread& reader : readers)
            reader.join();
        for (int fd : clients)
            close(fd);
        state.ResumeTiming();
    }
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["bytes_si"] = benchmark::Counter(
        static_cast<double>(state.iterations() * stream.size()), benchmark::Counter::kIsRate);
    state.counters["MB_per_cpu_s"] =
        static_cast<double>(state.iterations() * stream.size()) / 1e6 / cpuSeconds;
    state.counters["msg/s"] = benchmark::Counter(static_cast<double>(state.iterations() * messages),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TcpSourceIntoRecord)
    ->ArgName("Serving")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace
