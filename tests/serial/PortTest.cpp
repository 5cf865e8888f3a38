#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include "Port.h"
#include "Pty.h"

namespace {

using namespace std::chrono_literals;

int IsOpen(const CPort& port) {
    int open = -1;
    port.IsOpen(&open);
    return open;
}

std::string Text(std::size_t size, char fill) {
    return std::string(size, fill);
}

class PortTest : public ::testing::Test {
protected:
    std::string Resolve(const std::u16string& name) {
        if (onResolve) {
            onResolve();
        }
        const auto it = devices.find(name);
        return it == devices.end() ? std::string() : it->second;
    }
    PortDeviceResolver Resolver() {
        return [this](const std::u16string& name) { return Resolve(name); };
    }
    void OpenOnPty() {
        port.SetPort(u"PTY");
        ASSERT_EQ(IsOpen(port), 1);
    }
    int Exclusive() const {
        int exclusive = -1;
        ::ioctl(pty.Slave(), TIOCGEXCL, &exclusive);
        return exclusive;
    }

    Pty pty;
    std::map<std::u16string, std::string> devices{{u"PTY", pty.Path()}};
    std::function<void()> onResolve;
    CPort port{Resolver()};
};

TEST_F(PortTest, NewPortIsClosedAndRefusesWrites) {
    EXPECT_EQ(IsOpen(port), 0);
    EXPECT_EQ(port.Write("hello"), 1);
    EXPECT_EQ(port.QueuedBytes(), 0u);
    std::u16string name;
    EXPECT_EQ(port.GetPortName(&name), 0);
    EXPECT_EQ(name, u"COM1");
    EXPECT_FALSE(port.HasCommHandle());
    EXPECT_FALSE(port.HasWorkerThreads());
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.Close(), 0);
}

TEST_F(PortTest, CloseEndsBothThreadsAndReleasesTheDevice) {
    OpenOnPty();
    // Counted from the open port: a sanitizer may start a thread of its own on first use.
    const std::size_t before = ThreadCount() - 2;
    EXPECT_TRUE(port.HasCommHandle());
    EXPECT_TRUE(port.HasWorkerThreads());
    EXPECT_EQ(Exclusive(), 1);

    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(IsOpen(port), 0);
    EXPECT_FALSE(port.HasCommHandle());
    EXPECT_FALSE(port.HasWorkerThreads());
    EXPECT_EQ(ThreadCount(), before);
    EXPECT_EQ(Exclusive(), 0);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.Write("late"), 1);
    {
        CPort next(Resolver());  // the device is free again; destruction closes it
        next.SetPort(u"PTY");
        EXPECT_EQ(IsOpen(next), 1);
    }
    EXPECT_EQ(ThreadCount(), before);
}

TEST_F(PortTest, FailedSetPortLeavesItClosedUnderTheNewName) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tessora-serial-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "file").close();
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    devices[u"FILE"] = dir / "file";
    devices[u"DIR"] = dir;
    devices[u"FIFO"] = dir / "fifo";
    devices[u"MISSING"] = dir / "missing";
    devices[u"NOTATTY"] = "/dev/null";

    for (const std::u16string name : {u"FILE", u"DIR", u"FIFO", u"MISSING", u"NOTATTY", u"COM7"}) {
        OpenOnPty();
        port.SetPort(name.c_str());
        std::u16string kept;
        port.GetPortName(&kept);
        EXPECT_EQ(kept, name);
        EXPECT_EQ(IsOpen(port), 0);
        EXPECT_FALSE(port.HasCommHandle());
        EXPECT_FALSE(port.HasWorkerThreads());
        EXPECT_EQ(port.Write("x"), 1);
    }
    EXPECT_EQ(std::filesystem::file_size(dir / "file"), 0u);
    std::filesystem::remove_all(dir);
}

TEST_F(PortTest, SetPortOnAnOpenPortJoinsBeforeReopeningAndDropsTheQueue) {
    OpenOnPty();
    const std::size_t before = ThreadCount() - 2;
    const std::size_t filler = pty.Stall();
    ASSERT_EQ(port.Write("QUEUED"), 0);

    std::size_t threadsAtReopen = 0;
    bool workersAtReopen = true;
    bool handleAtReopen = true;
    onResolve = [&] {
        threadsAtReopen = ThreadCount();
        workersAtReopen = port.HasWorkerThreads();
        handleAtReopen = port.HasCommHandle();
    };
    port.SetPort(u"PTY");
    onResolve = nullptr;
    ASSERT_EQ(IsOpen(port), 1);
    EXPECT_EQ(threadsAtReopen, before);
    EXPECT_FALSE(workersAtReopen);
    EXPECT_FALSE(handleAtReopen);
    EXPECT_EQ(port.QueuedBytes(), 0u);

    ASSERT_EQ(port.Write("NEW"), 0);
    EXPECT_EQ(pty.Read(filler + 3, 5s), Text(filler, 'x') + "NEW");
    EXPECT_EQ(pty.Read(1, 100ms), "");
}

TEST_F(PortTest, WriteQueuesWholeStringsOrRefusesThem) {
    OpenOnPty();
    pty.Stall();  // nothing leaves, so the queue only grows
    EXPECT_EQ(port.Write(""), 0);
    EXPECT_EQ(port.Write(nullptr), 1);
    EXPECT_EQ(port.Write(Text(1024, 'a').c_str()), 1);
    EXPECT_EQ(port.QueuedBytes(), 0u);

    // What the program writes back to back: a stamp tick, then two full Sends.
    EXPECT_EQ(port.Write(Text(29, 't').c_str()), 0);
    EXPECT_EQ(port.Write(Text(996, 's').c_str()), 0);
    EXPECT_EQ(port.Write(Text(996, 's').c_str()), 0);
    EXPECT_EQ(port.Write(Text(1023, 'm').c_str()), 0);
    EXPECT_EQ(port.Write(Text(1023, 'm').c_str()), 0);
    EXPECT_EQ(port.Write(Text(29, 't').c_str()), 1);  // one byte short of room
    EXPECT_EQ(port.Write(Text(28, 'e').c_str()), 0);
    EXPECT_EQ(port.QueuedBytes(), TransmitRing::kCapacity);
    EXPECT_EQ(port.Write("x"), 1);
    EXPECT_EQ(port.QueuedBytes(), TransmitRing::kCapacity);
}

TEST_F(PortTest, StalledLineRetriesTheHeadByteNeitherSkippingNorRepeating) {
    OpenOnPty();
    const std::size_t filler = pty.Stall();
    ASSERT_EQ(port.Write("{A19"), 0);
    ASSERT_EQ(port.Write("{C0001Hello"), 0);
    std::this_thread::sleep_for(200ms);  // several refused attempts
    const std::string expected = Text(filler, 'x') + "{A19{C0001Hello";
    EXPECT_EQ(pty.Read(expected.size(), 5s), expected);
    EXPECT_EQ(pty.Read(1, 100ms), "");
}

// What the port says went out is what the line took, never what is merely queued, and a
// reopening keeps what the old line sent.
TEST_F(PortTest, SentBytesAreOnlyThoseTheLineTook) {
    port.KeepSentBytes(true);
    OpenOnPty();
    const std::size_t filler = pty.Stall();
    ASSERT_EQ(port.Write("{A19{C0001Hello"), 0);
    std::this_thread::sleep_for(200ms);  // the writer tries and is refused
    std::string sent;
    port.TakeSent(sent);
    EXPECT_EQ(sent, "");
    EXPECT_EQ(pty.Read(filler + 15, 5s), Text(filler, 'x') + "{A19{C0001Hello");
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (sent.size() < 15 && std::chrono::steady_clock::now() < deadline) {
        port.TakeSent(sent);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(sent, "{A19{C0001Hello");

    ASSERT_EQ(port.Write("World"), 0);
    EXPECT_EQ(pty.Read(5, 5s), "World");
    while (port.QueuedBytes() != 0) std::this_thread::sleep_for(5ms);
    port.SetPort(u"PTY");
    sent.clear();
    port.TakeSent(sent);
    EXPECT_EQ(sent, "World");
}

TEST_F(PortTest, LongestTextArrivesWholeInOrderWithEveryByteValue) {
    OpenOnPty();
    std::string text;
    for (std::size_t i = 0; i < CPort::kMaxText; ++i) {
        text.push_back(static_cast<char>(1 + i % 255));  // NUL ends a text, so 1 to 255
    }
    ASSERT_EQ(port.Write(text.c_str()), 0);
    EXPECT_EQ(pty.Read(text.size(), 10s), text);
    EXPECT_EQ(pty.Read(1, 100ms), "");
}

TEST_F(PortTest, LineIsRaw9600EightNoneOneWithoutFlowControl) {
    OpenOnPty();
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.Slave(), &tio), 0);
    EXPECT_EQ(::cfgetispeed(&tio), speed_t{B9600});
    EXPECT_EQ(::cfgetospeed(&tio), speed_t{B9600});
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t{CS8});
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), tcflag_t{CLOCAL | CREAD});
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

TEST_F(PortTest, BytesFromTheUnitAreDrainedAndNotEchoed) {
    OpenOnPty();
    const std::string reply = Text(200, '?');
    ASSERT_EQ(::write(pty.Master(), reply.data(), reply.size()), 200);
    int waiting = -1;
    for (const auto end = std::chrono::steady_clock::now() + 5s;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(10ms)) {
        ASSERT_EQ(::ioctl(pty.Slave(), FIONREAD, &waiting), 0);
        if (waiting == 0) {
            break;
        }
    }
    EXPECT_EQ(waiting, 0);
    EXPECT_EQ(pty.Read(1, 100ms), "");
}

// The window thread writing while the unit reads: what arrives is exactly what was queued.
TEST_F(PortTest, TwoThreadStressArrivesByteForByte) {
    OpenOnPty();
    std::mt19937 random(1208);
    std::vector<std::string> pieces;
    std::string expected;
    while (expected.size() < 4096) {
        std::string piece(std::uniform_int_distribution<std::size_t>(1, 200)(random), '\0');
        for (char& c : piece) {
            c = static_cast<char>(std::uniform_int_distribution<int>(1, 255)(random));
        }
        expected += piece;
        pieces.push_back(std::move(piece));
    }
    std::thread window([&] {
        for (const std::string& piece : pieces) {
            while (port.Write(piece.c_str()) != 0) {
                std::this_thread::sleep_for(1ms);
            }
        }
    });
    const std::string got = pty.Read(expected.size(), 30s);
    window.join();
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

struct Usage {
    static Usage Now() {
        rusage r{};
        ::getrusage(RUSAGE_SELF, &r);
        const auto us = [](const timeval& t) { return t.tv_sec * 1'000'000L + t.tv_usec; };
        return {us(r.ru_utime) + us(r.ru_stime), r.ru_nvcsw + r.ru_nivcsw};
    }
    long cpuMicroseconds;
    long switches;
};

TEST_F(PortTest, HungUpLineStaysQuietClosesPromptlyAndReopens) {
    OpenOnPty();
    ASSERT_EQ(port.Write(Text(200, 'u').c_str()), 0);
    ASSERT_EQ(pty.Read(5, 2s).size(), 5u);
    pty.CloseMaster();  // the cable is pulled while sending
    std::this_thread::sleep_for(100ms);

    const Usage start = Usage::Now();
    std::this_thread::sleep_for(1s);
    const Usage end = Usage::Now();
    // A hung-up line ends both workers; a loop left polling it every millisecond would
    // wake a thousand times a second.
    EXPECT_LT(end.cpuMicroseconds - start.cpuMicroseconds, 100'000);
    EXPECT_LT(end.switches - start.switches, 400);

    const auto closeStart = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Close(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - closeStart, 200ms);

    Pty replugged;
    devices[u"PTY"] = replugged.Path();
    OpenOnPty();
    ASSERT_EQ(port.Write("back"), 0);
    EXPECT_EQ(replugged.Read(4, 2s), "back");
}

// The port's own threads by the names they give themselves: how often each has gone to sleep
// (each wake-up ends in one more), and whether it sleeps in poll right now.
struct Worker {
    long sleeps = 0;
    bool inPoll = false;
};
std::map<std::string, Worker> Workers() {
    std::map<std::string, Worker> workers;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name, wchan, line;
        std::getline(std::ifstream(task.path() / "comm"), name);
        if (name.rfind("tessora-", 0) != 0) continue;
        std::getline(std::ifstream(task.path() / "wchan"), wchan);
        Worker& worker = workers[name];
        worker.inPoll = wchan.find("poll") != std::string::npos;
        for (std::ifstream status(task.path() / "status"); std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                worker.sleeps = std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return workers;
}

// At rest neither worker wakes: not on a timer, not to look at an empty ring or a quiet
// line; the writer wakes for a Write and the reader for what the unit sends, and each goes
// back to sleep.
TEST_F(PortTest, AnIdlePortsWorkersSleepUntilThereIsWork) {
    OpenOnPty();
    const auto restsFor = [&](std::chrono::milliseconds window) {
        const auto asleep = [] {
            const std::map<std::string, Worker> workers = Workers();
            return workers.size() == 2 && workers.begin()->second.inPoll &&
                   workers.rbegin()->second.inPoll;
        };
        bool settled = false;
        for (const auto end = std::chrono::steady_clock::now() + 5s;
             !settled && std::chrono::steady_clock::now() < end;) {
            std::this_thread::sleep_for(1ms);
            settled = asleep();
        }
        ASSERT_TRUE(settled);
        std::map<std::string, Worker> before = Workers();
        std::this_thread::sleep_for(window);
        // The terminal wakes a poll for its own housekeeping now and then (the write side
        // as well as the read side); a worker on a timer, even a 50 ms one, would wake ten
        // times.
        for (const auto& [name, worker] : Workers()) {
            EXPECT_LE(worker.sleeps - before[name].sleeps, 2) << name;
        }
    };
    restsFor(500ms);
    ASSERT_EQ(port.Write("{A19"), 0);
    EXPECT_EQ(pty.Read(4, 2s), "{A19");
    restsFor(500ms);
    const std::string reply = "ok";
    ASSERT_EQ(::write(pty.Master(), reply.data(), reply.size()), 2);
    restsFor(500ms);
}

TEST_F(PortTest, DeviceIsHeldExclusively) {
    OpenOnPty();
    CPort second(Resolver());
    second.SetPort(u"PTY");
    EXPECT_EQ(IsOpen(second), 0);
    EXPECT_EQ(Exclusive(), 1);  // the refused opener left the holder's claim alone
    ASSERT_EQ(port.Write("still mine"), 0);
    EXPECT_EQ(pty.Read(10, 2s), "still mine");
    port.Close();

    // Another program holding the device keeps the port out just the same.
    const int foreign = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(::flock(foreign, LOCK_EX | LOCK_NB), 0);
    port.SetPort(u"PTY");
    EXPECT_EQ(IsOpen(port), 0);
    ::close(foreign);
    second.SetPort(u"PTY");
    EXPECT_EQ(IsOpen(second), 1);
}

// Root opens a device held with TIOCEXCL all the same: the port must see the claim, stay
// out, and leave the flag to its owner.
TEST_F(PortTest, AnotherProgramsExclusiveClaimHoldsEvenAgainstRoot) {
    ASSERT_EQ(::ioctl(pty.Slave(), TIOCEXCL), 0);
    port.SetPort(u"PTY");
    EXPECT_EQ(IsOpen(port), 0);
    port.Close();
    EXPECT_EQ(Exclusive(), 1);
}

TEST_F(PortTest, TextGoesOutByItsLengthNulsIncluded) {
    OpenOnPty();
    const std::string text("{C0000A\0B{C0001", 15);
    ASSERT_EQ(port.Write(std::string_view(text)), 0);
    EXPECT_EQ(pty.Read(text.size(), 5s), text);
}

}  // namespace

namespace {

// A port that is not done says why, and the next that is done forgets the reason.
TEST_F(PortTest, EveryRefusalKeepsItsReasonUntilTheNextSuccess) {
    EXPECT_FALSE(port.LastError());
    EXPECT_EQ(port.Write("x"), 1);
    EXPECT_EQ(port.LastError(), std::errc::not_connected);

    const auto dir =
        std::filesystem::temp_directory_path() / ("tessora-reason-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "file").close();
    devices[u"MISSING"] = dir / "missing";
    devices[u"FILE"] = dir / "file";
    devices[u"NOTATTY"] = "/dev/null";
    const std::pair<std::u16string, std::errc> refusals[] = {
        {u"MISSING", std::errc::no_such_file_or_directory},
        {u"FILE", std::errc::no_such_device},
        {u"NOTATTY", std::errc::inappropriate_io_control_operation},
        {u"UNMAPPED", std::errc::no_such_device},
    };
    for (const auto& [name, reason] : refusals) {
        port.SetPort(name.c_str());
        ASSERT_EQ(IsOpen(port), 0);
        EXPECT_EQ(port.LastError(), reason) << port.LastError().message();
    }
    std::filesystem::remove_all(dir);

    OpenOnPty();
    EXPECT_FALSE(port.LastError());
    EXPECT_EQ(port.Write(Text(CPort::kMaxText + 1, 'a')), 1);
    EXPECT_EQ(port.LastError(), std::errc::message_size);
    EXPECT_EQ(port.Write("ok"), 0);
    EXPECT_FALSE(port.LastError());

    CPort second(Resolver());
    second.SetPort(u"PTY");
    EXPECT_EQ(IsOpen(second), 0);
    EXPECT_EQ(second.LastError(), std::errc::device_or_resource_busy);
    port.Close();
    ASSERT_EQ(::ioctl(pty.Slave(), TIOCEXCL), 0);
    second.SetPort(u"PTY");
    EXPECT_EQ(second.LastError(), std::errc::device_or_resource_busy);
    ASSERT_EQ(::ioctl(pty.Slave(), TIOCNXCL), 0);
}

// A full queue refuses with its own reason, so a stalled line is told from a closed port.
TEST_F(PortTest, AFullQueueRefusesWithNoRoom) {
    OpenOnPty();
    pty.Stall();
    for (int i = 0; i < 8 && port.Write(Text(CPort::kMaxText, 'q')) == 0; ++i) {
    }
    EXPECT_EQ(port.LastError(), std::errc::no_buffer_space);
}

TEST(PortDevices, AMappedNameOpensItsDeviceAndEveryOtherItsDefault) {
    const PortDeviceResolver resolve = MappedPortDevices(
        {{u"COM1", "/dev/ttyUSB0"}, {u"COM2", ""}, {u"Unit", "/dev/serial/by-id/unit"}});
    EXPECT_EQ(resolve(u"COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(resolve(u"com1"), "/dev/ttyS0");  // the mapping is by the exact name
    EXPECT_EQ(resolve(u"COM2"), "/dev/ttyS1");  // an empty mapping maps nothing
    EXPECT_EQ(resolve(u"COM4"), "/dev/ttyS3");
    EXPECT_EQ(resolve(u"Unit"), "/dev/serial/by-id/unit");
    EXPECT_EQ(resolve(u"LPT1"), "");
}

}  // namespace
