#pragma once

#include <functional>
#include <string>
#include <utility>

#include "ClockSync.h"

// The machine's clock as the operator should trust it: read at start and once a minute, and
// while it is not synchronised the message line says so under the line's own texts. A clock
// whose state cannot be read is taken as synchronised: nothing on the picture says otherwise.
class CClockWatch {
public:
    using Reader = std::function<ClockSync()>;

    // changed is called after each reading that differs from the one before.
    explicit CClockWatch(
        std::function<void()> changed, Reader read = [] { return ReadClockSync(); })
        : m_changed(std::move(changed)), m_read(std::move(read)) {}

    // The tests stand in a clock of their own.
    void SetReader(Reader read) { m_read = std::move(read); }
    void Read();
    ClockSync State() const { return m_state; }
    // The message line's text while the stamps cannot be trusted, else "".
    std::string Text() const;

private:
    std::function<void()> m_changed;
    Reader m_read;
    ClockSync m_state = ClockSync::Synchronised;
};
