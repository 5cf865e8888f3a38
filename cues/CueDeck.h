#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CaptionCommands.h"
#include "CueList.h"
#include "CueTimer.h"
#include "TemplateFill.h"

// A cue list being played: which cue goes next, which is on air, and taking a cue to air
// as one Play of the caption session. Plain C++; listeners hear of
// every change of the list and its markers.
class CueDeck {
public:
    // The clock is read for the timed cues; tests give their own.
    explicit CueDeck(CaptionCommands& session, std::function<CueClock()> clock = CueClockNow);
    ~CueDeck();
    CueDeck(const CueDeck&) = delete;
    CueDeck& operator=(const CueDeck&) = delete;

    // The screen cues go to, 1 to 4, and whether the next marker wraps at the end.
    void SetScreen(int screen) { m_screen = screen; }
    int Screen() const { return m_screen; }
    void SetLoop(bool loop) { m_loop = loop; }
    bool Loop() const { return m_loop; }

    // A new list: the next marker on its first cue. A reload of the same file keeps both
    // markers where they were by number, as far as the list still reaches; returns what
    // changed in size for the operator ("" when nothing did). The list replaced goes to old
    // when given, for the caller to let go of where it costs nothing.
    std::string Replace(std::string file, std::vector<Cue> cues, bool reload,
                        std::vector<Cue>* old = nullptr);
    bool Loaded() const { return !m_file.empty(); }
    const std::string& File() const { return m_file; }
    const std::vector<Cue>& Cues() const { return m_cues; }
    // 1-based; 0 for none (the end reached, nothing on air).
    int Next() const { return m_next; }
    int OnAir() const { return m_onAir; }

    // The template screen, 1 to 4, whose text and corners the cues without a Text of their
    // own fill; 0 for none. A change to it is heard as a change of the list.
    void SetTemplate(int screen);
    int Template() const { return m_template; }
    // The cue as it goes to air, filled from the template as it is now.
    TemplateFill Filled(int number) const;
    // Why the last take was Refused.
    const std::string& Refusal() const { return m_refusal; }

    enum class TakeResult { Taken, NoList, NoCue, Busy, HandTyped, Repeated, Refused };
    // Plays the cue's text and corners on the cue screen, as one command; the next marker
    // moves on past it. Text typed into the cue screen by hand and not saved is not written
    // over unless replaceTyped. The same cue taken again within the repeat guard is not
    // played: a bouncing button would flash the whole screen.
    TakeResult Take(int number, bool replaceTyped = false, WriteOrigin origin = WriteOrigin::Cue);
    TakeResult TakeNext(bool replaceTyped = false, WriteOrigin origin = WriteOrigin::Cue) {
        return Take(m_next, replaceTyped, origin);
    }
    // Why a take was not played, for the operator; "" for a take played.
    std::string Why(TakeResult result) const;
    // Moves the next marker by step (1 on, -1 back), stopping at the ends, or wrapping round
    // them with Loop; false when there is no list.
    bool MoveNext(int step);
    // Picks the next cue; false when there is no such cue.
    bool SetNext(int number);

    // The timed cues: runs what has fallen due (taken with the origin Auto), and says how
    // long until it should run again (none: nothing is pending).
    void RunTimed();
    std::optional<std::chrono::milliseconds> TimedWait() const { return m_timer.Wait(m_clock()); }
    const CueTimer& Timer() const { return m_timer; }
    void SetAfterHold(AfterHold afterHold) { m_timer.SetAfterHold(afterHold); }
    void SetRepeatGuard(std::chrono::milliseconds guard) { m_timer.SetRepeatGuard(guard); }
    // The switch that holds all automation; takes by hand go on.
    void SetHeld(bool held);
    CueClock Now() const { return m_clock(); }

    // A timed cue that did not fire, and why; returns a key for Unlisten.
    using SkipListener = std::function<void(int cue, const std::string& reason)>;
    int ListenSkips(SkipListener listener);
    void UnlistenSkips(int key) { m_skipListeners.erase(key); }

    // Called after each change of the list, its markers, or what fires next; returns a key for
    // Unlisten.
    int Listen(std::function<void()> listener);
    void Unlisten(int key);

private:
    void Changed();
    void OnWrite(const UnitWrite& write);
    void Skipped(int cue, const std::string& reason);
    void OnStateChanged();

    CaptionCommands& m_session;
    std::function<CueClock()> m_clock;
    CueTimer m_timer;
    std::map<int, SkipListener> m_skipListeners;
    int m_screen = 4;
    bool m_loop = false;
    std::string m_file;
    std::vector<Cue> m_cues;
    int m_next = 0;
    int m_onAir = 0;
    int m_recordKey = 0;
    int m_template = 0;
    ScreenContent m_templateContent;
    int m_stateKey = 0;
    std::string m_refusal;
    std::map<int, std::function<void()>> m_listeners;
    int m_nextKey = 1;
};
