#pragma once

// The far ends of a network line for the tests, on 127.0.0.1 only: the virtual caption unit
// on its pseudo-terminal, Debian's ser2net serving that terminal, and listeners the test
// serves by hand.

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Port.h"

namespace peers {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    for (const auto deadline = std::chrono::steady_clock::now() + limit; !done();) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// The port's notices, kept for the test instead of printed.
struct Notices {
    explicit Notices(CPort& port) {
        port.SetNotice([this](const std::string& text) {
            const std::lock_guard<std::mutex> hold(lock);
            kept.push_back(text);
        });
    }
    std::vector<std::string> Get() {
        const std::lock_guard<std::mutex> hold(lock);
        return kept;
    }
    std::mutex lock;
    std::vector<std::string> kept;
};

// A fresh folder for one test's files.
inline fs::path TempDir() {
    std::string dir = (fs::temp_directory_path() / "tessora-net-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return dir;
}

// A program run for the length of a test, its output in a file of dir; when asked, the first
// line it prints is waited for.
class Child {
public:
    Child(const std::vector<std::string>& args, const fs::path& dir, bool waitFirstLine) {
        fs::create_directories(dir);
        const std::string out = (dir / (fs::path(args[0]).filename().string() + ".out")).string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int spawned = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) throw std::runtime_error("cannot start " + args[0]);
        if (!waitFirstLine) return;
        WaitFor([&] { return std::getline(std::ifstream(out), firstLine) && !firstLine.empty(); },
                10s);
    }
    ~Child() {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    std::string firstLine;

private:
    pid_t m_pid = -1;
};

// tessora-unit on a pseudo-terminal of its own, keeping its display and every byte it got.
class VirtualUnit {
public:
    explicit VirtualUnit(const fs::path& dir)
        : m_dir(dir),
          m_unit({TESSORA_UNIT_PATH, "--quiet", "--dump", dir / "dump", "--log", dir / "log"}, dir,
                 true) {}

    const std::string& Device() const { return m_unit.firstLine; }
    std::string Display() const {
        std::ifstream in(m_dir / "dump", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Every byte in the order it arrived, from the log's "<ms> <hex>" lines.
    std::string Bytes() const {
        std::ifstream in(m_dir / "log");
        std::string bytes, hex;
        for (long ms = 0; in >> ms >> hex;)
            bytes.push_back(static_cast<char>(std::stoi(hex, nullptr, 16)));
        return bytes;
    }
    bool WaitBytes(std::size_t count) const {
        return WaitFor([&] { return Bytes().size() >= count; }, 20s);
    }

private:
    fs::path m_dir;
    Child m_unit;
};

// A port on 127.0.0.1 that nothing listens on at the moment.
inline int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Debian's ser2net serving device on 127.0.0.1, raw or as a Telnet COM port server, with a
// configuration of its own. The device starts at initialLine ("9600n81", "19200e71").
class Ser2net {
public:
    Ser2net(const fs::path& dir, const std::string& device, bool telnet,
            const std::string& initialLine = "9600n81")
        : m_dir(dir), m_port(FreePort()), m_telnet(telnet) {
        std::ofstream(dir / "ser2net.yaml")
            << "%YAML 1.1\n---\nconnection: &unit\n  accepter: "
            << (telnet ? "telnet(rfc2217)," : "") << "tcp,127.0.0.1," << m_port
            << "\n  connector: serialdev," << device << "," << initialLine << ",local\n";
        Start();
    }
    std::string Url() const {
        return (m_telnet ? "rfc2217" : "socket") + std::string("://127.0.0.1:") +
               std::to_string(m_port);
    }
    // Starts it and waits until the kernel's socket table shows it listening.
    void Start() {
        m_server =
            std::make_unique<Child>(std::vector<std::string>{"/usr/sbin/ser2net", "-d", "-u", "-c",
                                                             (m_dir / "ser2net.yaml").string()},
                                    m_dir, false);
        char listening[40];
        std::snprintf(listening, sizeof listening, "0100007F:%04X 00000000:0000 0A", m_port);
        if (!WaitFor(
                [&] {
                    std::ifstream table("/proc/net/tcp");
                    const std::string all{std::istreambuf_iterator<char>(table), {}};
                    return all.find(listening) != std::string::npos;
                },
                10s)) {
            throw std::runtime_error("ser2net does not listen; see " + m_dir.string());
        }
    }
    void Stop() { m_server.reset(); }

private:
    fs::path m_dir;
    int m_port;
    bool m_telnet;
    std::unique_ptr<Child> m_server;
};

}  // namespace peers
