#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FakePageView.h"
#include "Pty.h"
#include "TessoraDlg.h"

// A pseudo-terminal standing in for the caption unit's serial line.
class FakeLine {
public:
    const std::string& device() const { return m_pty.Path(); }
    // Everything the program has sent so far, waiting until `until` bytes have arrived or
    // the time is up.
    std::string received(std::size_t until = 0,
                         std::chrono::milliseconds limit = std::chrono::milliseconds(3000));
    // The unit's end goes away: the program's side of the line hangs up.
    void hangUp();
    // The line stops taking bytes, as a unit holding it back would, and takes them again.
    void stall();
    void resume();

private:
    Pty m_pty{true};
    std::string m_seen;
};

// Runs the window's loop until done() holds; false when the time is up first.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

// Settings for one test in the per-user store the program reads (a fresh temporary home).
void ResetSettings();
void WriteSetting(const QString& key, const QVariant& value);
QVariant ReadSetting(const QString& key);

// What the unit receives when the line comes up: the greeting, then the clear after its pause.
inline const std::string kGreetedLine = "{A19{C0000Halvercrest Tessora Connected{A19";

// A main window on a stand-in page, with message boxes answered by the test.
class MainWindowFixture {
public:
    MainWindowFixture();
    ~MainWindowFixture();

    // Starts the window as the program does and lets the main page finish loading.
    void start(bool loadPage = true);
    void runPostedMessages();
    // Starts the window with COM1 on the line and waits for the greeting, and for it to be
    // recorded; the clock's ticks are then the test's to give. False when the greeting did
    // not come.
    bool startOnLine(FakeLine& line);

    FakePageViews pages;  // every dialog the window opens gets a stand-in page
    FakePageView* view = nullptr;
    std::unique_ptr<CTessoraDlg> dlg;
    std::vector<std::pair<std::string, unsigned>> boxes;
    std::vector<std::string> details;  // each box's detail, "" for none
    std::vector<int> answers;          // answers for the boxes that ask, in order; IDOK otherwise
};
