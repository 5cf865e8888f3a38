#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CaptionCommands.h"
#include "CueList.h"
#include "TemplateFill.h"

// A cue list being played: which cue goes next, which is on air, and taking a cue to air
// as one Play of the caption session. Plain C++; listeners hear of
// every change of the list and its markers.
class CueDeck {
public:
    explicit CueDeck(CaptionCommands& session);
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

    enum class TakeResult { Taken, NoList, NoCue, Busy, HandTyped, Refused };
    // Plays the cue's text and corners on the cue screen, as one command; the next marker
    // moves on past it. Text typed into the cue screen by hand and not saved is not written
    // over unless replaceTyped.
    TakeResult Take(int number, bool replaceTyped = false);
    TakeResult TakeNext(bool replaceTyped = false) { return Take(m_next, replaceTyped); }
    // Moves the next marker by step (1 on, -1 back), stopping at the ends, or wrapping round
    // them with Loop; false when there is no list.
    bool MoveNext(int step);
    // Picks the next cue; false when there is no such cue.
    bool SetNext(int number);

    // Called after each change of the list or its markers; returns a key for Unlisten.
    int Listen(std::function<void()> listener);
    void Unlisten(int key);

private:
    void Changed();
    void OnWrite(const UnitWrite& write);
    void OnStateChanged();

    CaptionCommands& m_session;
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
