#include "ClockWatch.h"

#include <cstdio>

namespace {

constexpr char kClockNotSynchronised[] = "Clock not synchronised";

const char* Named(ClockSync state) {
    switch (state) {
        case ClockSync::Synchronised:
            return "synchronised";
        case ClockSync::NotSynchronised:
            return "not synchronised";
        case ClockSync::Unknown:
            break;
    }
    return "unknown";
}

}  // namespace

void CClockWatch::Read() {
    const ClockSync state = m_read();
    if (state == m_state) return;
    m_state = state;
    std::fprintf(stderr, "tessora: clock %s\n", Named(state));
    m_changed();
}

std::string CClockWatch::Text() const {
    return m_state == ClockSync::NotSynchronised ? kClockNotSynchronised : "";
}
