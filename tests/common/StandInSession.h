#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "CaptionCommands.h"

// A caption session with nothing behind it, for the tests of its clients: commands do
// nothing unless a test's own stand-in notes them, the state is whatever the test sets, and
// listeners are kept and told when the test calls Changed.
class StandInSession : public CaptionCommands {
public:
    SessionState state;
    bool busy = false;
    std::string refusal;
    std::map<int, std::function<void()>> listeners;
    // What the tests record as written; the clients only listen.
    OnAirRecord record;

    bool Busy() const override { return busy; }
    void Select(int) override {}
    void Put(int, const ScreenChange&, WriteOrigin) override {}
    bool Send(WriteOrigin) override { return true; }
    const std::string& Refusal() const override { return refusal; }
    void Clear(WriteOrigin) override {}
    void ShowNotice(const std::string&) override {}
    void DropNotice(const std::string&) override {}
    PlayResult Play(int, const ScreenContent&, WriteOrigin, int, bool) override {
        return PlayResult::Played;
    }
    SessionState State() const override { return state; }
    SendPreview NextSend() const override { return {}; }
    const CCaptionDisplay& UnitDisplay() override { return m_unit; }
    OnAirListening& OnAir() override { return m_listening; }
    int ListenStateChanged(std::function<void()> listener) override {
        listeners[++m_lastKey] = std::move(listener);
        return m_lastKey;
    }
    void StopListening(int key) override { listeners.erase(key); }

    // Tells the listeners of a change, as the session does after a command.
    void Changed() {
        const auto told = listeners;
        for (const auto& [key, listener] : told) listener();
    }

private:
    CCaptionDisplay m_unit;
    OnAirListening m_listening{record};
    int m_lastKey = 0;
};
