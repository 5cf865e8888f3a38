#include "OnAirRecord.h"

const char* WriteKindName(WriteKind kind) {
    switch (kind) {
        case WriteKind::Greeting:
            return "greeting";
        case WriteKind::Clear:
            return "clear";
        case WriteKind::Send:
            return "send";
        case WriteKind::CornerResend:
            return "corner";
        case WriteKind::Tick:
            return "tick";
    }
    return "?";
}

const char* WriteOriginName(WriteOrigin origin) {
    switch (origin) {
        case WriteOrigin::Program:
            return "program";
        case WriteOrigin::Page:
            return "page";
        case WriteOrigin::Key:
            return "key";
        case WriteOrigin::Strip:
            return "strip";
        case WriteOrigin::Remote:
            return "remote";
        case WriteOrigin::Cue:
            return "cue";
        case WriteOrigin::Script:
            return "script";
        case WriteOrigin::Osc:
            return "osc";
        case WriteOrigin::Auto:
            return "auto";
    }
    return "?";
}

void ShowWrite(OnAir& now, const UnitWrite& write) {
    switch (write.kind) {
        case WriteKind::Greeting:
        case WriteKind::Clear:
            now = OnAir{true, write.screen, {}, 0, 0, write.origin, write.time, 0};
            break;
        case WriteKind::Send:
        case WriteKind::CornerResend:
            now = OnAir{false,        write.screen, write.text, write.dateCorner, write.timeCorner,
                        write.origin, write.time,   write.cue};
            break;
        case WriteKind::Tick:
            break;
    }
}

void OnAirRecord::Record(const UnitWrite& write) {
    if (write.taken) ShowWrite(m_now, write);
    // A listener may stop listening while it is told.
    const std::map<int, Listener> listeners = m_listeners;
    for (const auto& [key, listener] : listeners) listener(write, m_now);
}

void OnAirRecord::Hold(UnitWrite write, BytesOut bytesOut, BytesOut backupOut) {
    m_held.push_back(Held{std::move(write), std::move(bytesOut), std::move(backupOut)});
}

bool OnAirRecord::Settle() {
    bool any = false;
    while (!m_held.empty()) {
        Held& held = m_held.front();
        const std::optional<std::size_t> out = held.out();
        if (!out) break;
        std::optional<std::size_t> backupOut;
        if (held.backupOut && !(backupOut = held.backupOut())) break;
        UnitWrite write = std::move(held.write);
        m_held.pop_front();
        write.sent = *out;
        write.taken = *out == write.bytes.size();
        if (backupOut) write.backupTaken = *backupOut == write.bytes.size();
        // A listener may hold or settle more while it is told.
        Record(write);
        any = true;
    }
    return any;
}

int OnAirRecord::Listen(Listener listener) {
    m_listeners.emplace(m_nextKey, std::move(listener));
    return m_nextKey++;
}

void OnAirRecord::Unlisten(int key) {
    m_listeners.erase(key);
}
