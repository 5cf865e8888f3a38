#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "WindowDoor.h"

// A window's door with no window behind it, for the tests of the door's clients: commands
// do nothing unless a test's own stand-in notes them, the state is whatever the test sets,
// and listeners are kept and told when the test calls Changed.
class StandInDoor : public CWindowDoor {
public:
    WindowState state;
    bool busy = false;
    std::map<int, std::function<void()>> listeners;
    // What the tests record as written; the clients only listen.
    OnAirRecord record;

    bool Busy() const override { return busy; }
    void SelectScreen(int, WriteOrigin) override {}
    void PutScreen(int, const ScreenChange&, WriteOrigin) override {}
    void Send(WriteOrigin) override {}
    void Clear(WriteOrigin) override {}
    void ShowNotice(const std::string&) override {}
    CCaptionSession::PlayResult Play(int, const ScreenContent&, WriteOrigin, int, bool) override {
        return CCaptionSession::PlayResult::Played;
    }
    WindowState State() override { return state; }
    SendPreview NextSend() override { return {}; }
    const CCaptionDisplay& UnitDisplay() override { return m_unit; }
    OnAirListening& OnAir() override { return m_listening; }
    int ListenForChanges(std::function<void()> listener) override {
        listeners[++m_lastKey] = std::move(listener);
        return m_lastKey;
    }
    void StopListening(int key) override { listeners.erase(key); }

    // Tells the listeners of a change, as the window does after a command.
    void Changed() {
        const auto told = listeners;
        for (const auto& [key, listener] : told) listener();
    }

private:
    CCaptionDisplay m_unit;
    OnAirListening m_listening{record};
    int m_lastKey = 0;
};
