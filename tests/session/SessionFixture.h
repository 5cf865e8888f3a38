#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CaptionSession.h"
#include "Pty.h"

// A caption unit on a pseudo-terminal reached through a link, so a test can unplug it and
// plug another in under the same name.
class PluggedUnit {
public:
    // name tells apart two units of one test.
    explicit PluggedUnit(const std::string& name = "line")
        : m_dir(std::filesystem::temp_directory_path() /
                ("session-" + name + "-" + std::to_string(::getpid()))),
          m_path((m_dir / "line").string()) {
        std::filesystem::create_directories(m_dir);
        Plug();
    }
    ~PluggedUnit() { std::filesystem::remove_all(m_dir); }
    PluggedUnit(const PluggedUnit&) = delete;
    PluggedUnit& operator=(const PluggedUnit&) = delete;

    // The path as the settings give it, and as the message line shows it: through the
    // session's voice, which here brackets it.
    const std::string& Path() const { return m_path; }
    std::string Shown() const { return "[" + m_path + "]"; }
    void Plug() {
        m_pty = std::make_unique<Pty>(true);
        std::filesystem::remove(m_path);
        std::filesystem::create_symlink(m_pty->Path(), m_path);
    }
    void Unplug() { m_pty->CloseMaster(); }
    // Nobody reads the unit's side any more: the line takes nothing.
    void Stall() { m_pty->Stall(); }
    // Everything the unit received so far, waiting for at least count bytes.
    const std::string& Received(std::size_t count) {
        m_seen +=
            m_pty->Read(count > m_seen.size() ? count - m_seen.size() : 0, std::chrono::seconds(5));
        return m_seen;
    }

private:
    std::filesystem::path m_dir;
    std::string m_path;
    std::unique_ptr<Pty> m_pty;
    std::string m_seen;
};

// A session on a unit, with a clock that stands still, calls back only when the test runs
// them, and pauses not at all (each pause is kept).
class SessionOnUnit {
public:
    static constexpr std::time_t kNow = 1'700'000'000;

    SessionOnUnit()
        : session(
              SessionClock{[] { return std::chrono::system_clock::from_time_t(kNow); },
                           [this](std::chrono::milliseconds, std::function<void()> call) {
                               calls.push_back(std::move(call));
                           },
                           [this](std::chrono::milliseconds pause) { pauses.push_back(pause); }},
              LineVoice{[this](const char* what, const std::string&) { said.push_back(what); },
                        [](const std::string& text) { return "[" + text + "]"; }}) {
        auto port = std::make_unique<CPort>([this](const std::u16string&) { return device; });
        port->KeepSentBytes(true);
        session.SetPort(std::move(port));
        session.OnAir().Listen(
            [this](const UnitWrite& write, const OnAir&) { records.push_back(write); });
        session.ListenStateChanged([this] { ++changes; });
    }

    // Opens the port, as the settings' port name does, and connects.
    CCaptionSession::LineStart Connect() {
        session.Port()->Open();
        return session.Connect();
    }
    // Runs the calls back asked for until done() holds, as the program's loop would.
    bool RunUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::deque<std::function<void()>> due;
            due.swap(calls);
            if (due.empty()) session.FoldSent();
            for (auto& call : due) call();
            std::this_thread::yield();
        }
        return true;
    }
    bool Recorded(std::size_t count) {
        return RunUntil([&] { return records.size() >= count; });
    }
    bool LineIs(CPort::LineState state) {
        return RunUntil([&] { return session.Port()->State() == state; });
    }

    PluggedUnit unit;
    std::string device = unit.Path();
    std::deque<std::function<void()>> calls;
    std::vector<std::chrono::milliseconds> pauses;
    std::vector<std::string> said;
    std::vector<UnitWrite> records;
    int changes = 0;
    CCaptionSession session;
};
