#pragma once

#include <cstdint>
#include <map>

// A key's own presses told apart from its repeats, whatever the window system says of them:
// a press of a key that is down is a repeat, and so is a press at the very time the key was
// let go, which is how X sends its autorepeat (a release and a press with one time stamp,
// that Qt marks as a repeat only when both have arrived together). Keys are known by their
// scan codes; times are the window system's, in milliseconds.
class KeyPresses {
public:
    // True for the key's own press, false for a repeat.
    bool Press(std::uint32_t key, std::uint64_t time, bool markedRepeat) {
        Key& k = m_keys[key];
        // An event without a time (made by a test tool) is never taken for X's repeat.
        const bool repeat =
            markedRepeat || k.down || (k.released && time != 0 && k.releasedAt == time);
        k.down = true;
        k.released = false;
        return !repeat;
    }
    void Release(std::uint32_t key, std::uint64_t time, bool markedRepeat) {
        // A release known for autorepeat's leaves the key down.
        if (markedRepeat) return;
        Key& k = m_keys[key];
        k.down = false;
        k.released = true;
        k.releasedAt = time;
    }
    // What to do with a key event on its way to the page: pass it on as it is, or mark it as
    // the repeat it is. The same event offered on to the parents is the same key stroke, and
    // is passed on untouched; it is known by its address, kind, key and time together: two
    // keys let go in one millisecond (a capital's Shift and letter) may come as one reused
    // event object, and each must be let go.
    enum class Verdict { pass, markRepeat };
    Verdict Take(const void* event, bool press, std::uint32_t key, std::uint64_t time,
                 bool markedRepeat) {
        const Stroke stroke{event, press, key, time};
        if (stroke == m_last) return Verdict::pass;
        m_last = stroke;
        if (!press) {
            Release(key, time, markedRepeat);
            return Verdict::pass;
        }
        return Press(key, time, markedRepeat) || markedRepeat ? Verdict::pass : Verdict::markRepeat;
    }

    // The window lost the keyboard: keys held now are let go where it cannot see.
    void Forget() { m_keys.clear(); }

private:
    struct Key {
        bool down = false;
        bool released = false;
        std::uint64_t releasedAt = 0;
    };
    struct Stroke {
        const void* event = nullptr;
        bool press = false;
        std::uint32_t key = 0;
        std::uint64_t time = 0;
        bool operator==(const Stroke&) const = default;
    };
    std::map<std::uint32_t, Key> m_keys;
    Stroke m_last;
};
