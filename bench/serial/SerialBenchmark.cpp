// The serial link's costs: what Write takes from the window thread, how fast text reaches
// the unit, how soon an idle port starts sending, how soon Close returns, and what an open
// port costs at rest, and what a Telnet server flooding the line with negotiation costs.
// CPU figures run TESSORA_BENCH_CPU_SECONDS (default 2) per case; 30 gives the full figure.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Port.h"
#include "Pty.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// A port opened on pty under the name "PTY".
void OpenOn(CPort& port) {
    port.SetPort(u"PTY");
    int open = 0;
    port.IsOpen(&open);
    if (open != 1) {
        std::abort();
    }
}

PortDeviceResolver MapTo(const Pty& pty) {
    return [&pty](const std::u16string&) { return pty.Path(); };
}

void BM_WriteCost(benchmark::State& state) {
    Pty pty;
    CPort port(MapTo(pty));
    OpenOn(port);
    pty.Stall();  // nothing drains, so every batch sees the same ring
    const std::string text(static_cast<std::size_t>(state.range(0)), 'w');
    const std::size_t fit = TransmitRing::kCapacity / text.size();
    double total = 0;
    std::size_t writes = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (std::size_t i = 0; i < fit; ++i) {
            benchmark::DoNotOptimize(port.Write(text.c_str()));
        }
        const double elapsed = Seconds(Clock::now() - start);
        state.SetIterationTime(elapsed);
        total += elapsed;
        writes += fit;
        OpenOn(port);  // reopening empties the ring; not timed
    }
    state.counters["ns_per_write"] = total * 1e9 / static_cast<double>(writes);
}
BENCHMARK(BM_WriteCost)
    ->Arg(29)
    ->Arg(996)
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void BM_Delivery996(benchmark::State& state) {
    Pty pty;
    CPort port(MapTo(pty));
    OpenOn(port);
    const std::string text(996, 'd');
    for (auto _ : state) {
        const auto start = Clock::now();
        port.Write(text.c_str());
        if (pty.Read(text.size(), 30s) != text) {
            state.SkipWithError("the text did not arrive whole");
            break;
        }
        const double elapsed = Seconds(Clock::now() - start);
        state.SetIterationTime(elapsed);
        state.counters["ratio_to_1ms_per_byte"] = elapsed / (text.size() * 1e-3);
    }
}
BENCHMARK(BM_Delivery996)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The time from Write to the byte at the unit when the writer has been idle. Where the writer
// looked at the ring on a timer, the wait depended on where in its pause Write landed: the
// idle time before each Write is varied to sample that evenly.
void BM_FirstByteLatency(benchmark::State& state) {
    Pty pty;
    CPort port(MapTo(pty));
    OpenOn(port);
    std::mt19937 random(3);
    double worst = 0;
    for (auto _ : state) {
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(60, 120)(random)));
        const auto start = Clock::now();
        port.Write("x");
        if (pty.Read(1, 1s) != "x") {
            state.SkipWithError("the byte did not arrive");
            break;
        }
        const double elapsed = Seconds(Clock::now() - start);
        state.SetIterationTime(elapsed);
        worst = std::max(worst, elapsed);
    }
    state.counters["worst_ms"] = worst * 1e3;
}
BENCHMARK(BM_FirstByteLatency)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

// Close with both workers at rest: how soon the port is shut and its threads joined.
void BM_CloseAtRest(benchmark::State& state) {
    Pty pty;
    double worst = 0;
    for (auto _ : state) {
        CPort port(MapTo(pty));
        OpenOn(port);
        std::this_thread::sleep_for(20ms);  // both workers are asleep by now
        const auto start = Clock::now();
        port.Close();
        const double elapsed = Seconds(Clock::now() - start);
        state.SetIterationTime(elapsed);
        worst = std::max(worst, elapsed);
    }
    state.counters["worst_ms"] = worst * 1e3;
}
BENCHMARK(BM_CloseAtRest)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

// Close while the writer waits on a connection that is never answered: a listener on
// 127.0.0.1 with a backlog of 0 that one waiting client already fills.
void BM_CloseWhileConnecting(benchmark::State& state) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(listener, 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    const int waiting = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(waiting, reinterpret_cast<sockaddr*>(&address), size);
    const std::string url = "socket://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    double worst = 0;
    for (auto _ : state) {
        CPort port([&url](const std::u16string&) { return url; });
        port.SetPort(u"COM1");
        std::this_thread::sleep_for(20ms);  // the writer is waiting on the connection
        const auto start = Clock::now();
        port.Close();
        const double elapsed = Seconds(Clock::now() - start);
        state.SetIterationTime(elapsed);
        worst = std::max(worst, elapsed);
    }
    state.counters["worst_ms"] = worst * 1e3;
    ::close(waiting);
    ::close(listener);
}
BENCHMARK(BM_CloseWhileConnecting)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// CPU of the whole process (both workers; the benchmark thread only sleeps) over a period.
void MeasureRestingCpu(benchmark::State& state, bool hungUp) {
    const char* env = std::getenv("TESSORA_BENCH_CPU_SECONDS");
    const double period = env != nullptr ? std::atof(env) : 2.0;
    Pty pty;
    CPort port(MapTo(pty));
    OpenOn(port);
    if (hungUp) {
        port.Write(std::string(500, 'h').c_str());  // the writer keeps retrying this
        pty.CloseMaster();
        std::this_thread::sleep_for(100ms);
    }
    for (auto _ : state) {
        const double cpuStart = ProcessCpuSeconds();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(period));
        const double wall = Seconds(Clock::now() - start);
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = 100.0 * (ProcessCpuSeconds() - cpuStart) / wall;
    }
}

void BM_IdleOpenPortCpu(benchmark::State& state) {
    MeasureRestingCpu(state, false);
}
void BM_HungUpPortCpu(benchmark::State& state) {
    MeasureRestingCpu(state, true);
}
BENCHMARK(BM_IdleOpenPortCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_HungUpPortCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// The resident memory of this process, in kB.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

// A Telnet server in a child process on 127.0.0.1 that sends every connection an endless
// stream of WILL, WONT, DO and DONT for every option and never reads; the port reconnects
// ten times a second, as often as the window would at its briskest.
void BM_TelnetFloodMemory(benchmark::State& state) {
    const char* env = std::getenv("TESSORA_BENCH_CPU_SECONDS");
    const double period = env != nullptr ? std::atof(env) : 2.0;
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(listener, 8);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    const pid_t server = ::fork();
    if (server == 0) {
        std::string flood;
        for (int option = 0; option < 256; ++option) {
            for (const int verb : {253, 251, 254, 252}) {
                flood += {'\xff', static_cast<char>(verb), static_cast<char>(option)};
            }
        }
        std::vector<int> peers;
        for (;;) {  // ended by the parent
            pollfd wait{listener, POLLIN, 0};
            if (::poll(&wait, 1, 1) == 1) peers.push_back(::accept(listener, nullptr, nullptr));
            for (const int peer : peers) {
                ::send(peer, flood.data(), flood.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            }
        }
    }
    ::close(listener);
    CPort port(MappedPortDevices(
        {{u"COM1", "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port))}}));
    port.SetNotice([](const std::string&) {});
    port.SetPort(u"COM1");
    for (auto _ : state) {
        const long before = ResidentKb();
        const double cpuStart = ProcessCpuSeconds();
        const auto start = Clock::now();
        long peak = before;
        int lost = 0;
        while (Seconds(Clock::now() - start) < period) {
            std::this_thread::sleep_for(100ms);
            if (port.State() == CPort::LineState::Lost) ++lost;
            port.Reconnect();
            peak = std::max(peak, ResidentKb());
        }
        const double wall = Seconds(Clock::now() - start);
        state.SetIterationTime(wall);
        state.counters["rss_growth_kb"] = static_cast<double>(peak - before);
        state.counters["cpu_percent"] = 100.0 * (ProcessCpuSeconds() - cpuStart) / wall;
        state.counters["times_lost"] = lost;
    }
    port.Close();
    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
}
BENCHMARK(BM_TelnetFloodMemory)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
