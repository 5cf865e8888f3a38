// Runs the real tessora-unit program and talks to it through its device.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Terminal.h"

namespace {

using namespace std::chrono_literals;

std::vector<std::string> FileLines(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms) {
    for (auto deadline = std::chrono::steady_clock::now() + limit; !done();) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// One run of the program; killed and reaped if the test has not stopped it.
class CUnitRun {
public:
    explicit CUnitRun(std::vector<std::string> args) {
        int out[2];
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(TESSORA_UNIT_PATH)};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_hOut = out[0];
    }
    ~CUnitRun() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_hOut);
    }

    std::string FirstLine() {
        std::string line;
        char c;
        pollfd pfd{m_hOut, POLLIN, 0};
        while (::poll(&pfd, 1, 5000) == 1 && ::read(m_hOut, &c, 1) == 1 && c != '\n') {
            line.push_back(c);
        }
        return line;
    }

    // The exit status, or -1 when the program does not end in time.
    int WaitExit(std::chrono::milliseconds limit = 5000ms) {
        int status = 0;
        if (!WaitFor([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, limit)) {
            return -1;
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    int Stop() {
        ::kill(m_pid, SIGTERM);
        return WaitExit(1000ms);
    }

    long CpuTicks() const {
        std::ifstream in("/proc/" + std::to_string(m_pid) + "/stat");
        std::string stat((std::istreambuf_iterator<char>(in)), {});
        std::istringstream fields(stat.substr(stat.rfind(')') + 1));
        std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
        return std::stol(f.at(11)) + std::stol(f.at(12));  // utime + stime
    }

private:
    pid_t m_pid = -1;
    int m_hOut = -1;
};

class TessoraUnit : public ::testing::Test {
protected:
    void SetUp() override {
        std::string dir = ::testing::TempDir() + "tessora-unit-XXXXXX";
        ASSERT_NE(::mkdtemp(dir.data()), nullptr);
        m_strDir = dir;
        m_strDump = dir + "/display.txt";
        m_strLog = dir + "/bytes.log";
    }
    void TearDown() override {
        for (const std::string& f : {m_strDump, m_strDump + ".tmp", m_strLog}) ::unlink(f.c_str());
        ::rmdir(m_strDir.c_str());
    }

    // Opens the device as the port object does: exclusively.
    static int OpenLikeThePort(const std::string& strPath) {
        int fd = ::open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0 && (::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    static void Send(int fd, const std::string& bytes) {
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    bool DumpRowStarts(int row, const std::string& text) const {
        return WaitFor([&] {
            auto rows = FileLines(m_strDump);
            return rows.size() == 19 && rows[row].starts_with(text);
        });
    }

    std::string m_strDir, m_strDump, m_strLog;
};

TEST_F(TessoraUnit, ShowsWhatIsWrittenToItsDeviceAndLogsEachByte) {
    CUnitRun unit({"--quiet", "--dump", m_strDump, "--log", m_strLog});
    const std::string device = unit.FirstLine();
    ASSERT_TRUE(device.starts_with("/dev/pts/")) << device;
    const std::string blank(52, ' ');
    EXPECT_EQ(FileLines(m_strDump), std::vector<std::string>(19, blank)) << "before any byte";

    const std::string sent = "{A19{C0203Hi";
    int fd = ::open(device.c_str(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(fd, 0);
    Send(fd, sent);
    ::close(fd);
    ASSERT_TRUE(WaitFor([&] { return FileLines(m_strLog).size() == sent.size(); }));

    std::vector<std::string> expected(19, blank);
    expected[3].replace(2, 2, "Hi");
    EXPECT_EQ(FileLines(m_strDump), expected);

    long previous = 0;
    std::string logged;
    for (const std::string& line : FileLines(m_strLog)) {
        std::size_t hex = line.find(' ') + 1;
        ASSERT_EQ(line.size(), hex + 2) << line;
        EXPECT_EQ(line.find_first_not_of("0123456789abcdef", hex), std::string::npos) << line;
        EXPECT_GE(std::stol(line), previous);
        previous = std::stol(line);
        logged.push_back(static_cast<char>(std::stoi(line.substr(hex), nullptr, 16)));
    }
    EXPECT_EQ(logged, sent);
    EXPECT_EQ(unit.Stop(), 0);
}

TEST_F(TessoraUnit, KeepsServingAcrossCloseAndReopenWithoutSpinning) {
    CUnitRun unit({"--quiet", "--dump", m_strDump});
    const std::string device = unit.FirstLine();

    for (const auto& [bytes, row] : {std::pair{"{A19{C0000one", 0}, std::pair{"{C0001two", 1}}) {
        int fd = OpenLikeThePort(device);
        ASSERT_GE(fd, 0) << "the unit must not hold the device exclusively";
        termios tio{};
        ASSERT_EQ(::tcgetattr(fd, &tio), 0);
        EXPECT_EQ(::cfgetospeed(&tio), B9600);
        EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t{CS8});
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
        Send(fd, bytes);
        ::ioctl(fd, TIOCNXCL);  // as a port that lets the device be taken again
        ::close(fd);
        const std::string word = std::string(bytes).substr(std::string(bytes).size() - 3);
        EXPECT_TRUE(DumpRowStarts(row, word)) << word;
    }

    // Nobody has the device open now: a unit polling a hung-up line would burn a core.
    const long before = unit.CpuTicks();
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(unit.CpuTicks() - before, ::sysconf(_SC_CLK_TCK) / 10);
    EXPECT_EQ(unit.Stop(), 0);
}

// A program killed while it holds the device leaves its claim for sole use behind; the unit
// drops it once nobody else has the device open, never while its holder lives.
TEST_F(TessoraUnit, LetsTheNextProgramInAfterOneKilledHoldingTheDevice) {
    CUnitRun unit({"--quiet", "--log", m_strLog});
    const std::string device = unit.FirstLine();
    int toHolder[2], fromHolder[2];
    ASSERT_EQ(::pipe(toHolder), 0);
    ASSERT_EQ(::pipe(fromHolder), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        std::error_code reason;
        const int fd = OpenExclusiveTerminal(device, reason);
        char c = fd >= 0 ? 'y' : 'n';
        // Then sends on what it is given, so the test knows when the unit has caught up.
        while (::write(fromHolder[1], &c, 1) == 1 && ::read(toHolder[0], &c, 1) == 1) {
            if (::write(fd, &c, 1) != 1) break;
        }
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(fromHolder[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');

    // Another program is kept out, and its try leaves the claim where it is.
    std::error_code reason;
    EXPECT_LT(OpenExclusiveTerminal(device, reason), 0);
    EXPECT_EQ(reason, std::errc::device_or_resource_busy);
    ASSERT_EQ(::write(toHolder[1], "x", 1), 1);
    ASSERT_TRUE(WaitFor([&] { return FileLines(m_strLog).size() == 1; }));
    const int look = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int held = look < 0 && errno == EBUSY;  // not root: refused for the claim itself
    if (look >= 0) ::ioctl(look, TIOCGEXCL, &held);
    EXPECT_NE(held, 0) << "the claim of a live holder was dropped";
    if (look >= 0) ::close(look);

    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    int fd = -1;
    EXPECT_TRUE(WaitFor([&] { return (fd = OpenExclusiveTerminal(device, reason)) >= 0; }))
        << reason.message();
    if (fd >= 0) ReleaseTerminal(fd);
    for (int end : {toHolder[0], toHolder[1], fromHolder[0], fromHolder[1]}) ::close(end);
    EXPECT_EQ(unit.Stop(), 0);
}

TEST_F(TessoraUnit, ListensOnANamedDeviceSetRaw) {
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    {
        CUnitRun unit({"--device", name, "--quiet", "--dump", m_strDump});
        EXPECT_EQ(unit.FirstLine(), name);
        termios tio{};
        ASSERT_EQ(::tcgetattr(slave, &tio), 0);
        EXPECT_EQ(::cfgetispeed(&tio), B9600);
        EXPECT_EQ(tio.c_lflag & ICANON, 0u) << "line left cooked";
        Send(master, "{C0018\xe9t\xe9\r|");
        EXPECT_TRUE(DumpRowStarts(18, "\u00E9t\u00E9\u240D| "));
        EXPECT_EQ(unit.Stop(), 0);
    }
    ::close(master);
    ::close(slave);
}

TEST_F(TessoraUnit, RefusesBadCommandLinesAndDevices) {
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"--bogus"}, 2},
        {{"--dump"}, 2},
        {{"--device", "/dev/null", "--quiet"}, 1},
        {{"--quiet", "--dump", m_strDump + "/under/a/file"}, 1},
    };
    for (const auto& [args, status] : cases) {
        CUnitRun unit(args);
        EXPECT_EQ(unit.WaitExit(), status) << args.front() << " " << args.back();
    }
}

}  // namespace
