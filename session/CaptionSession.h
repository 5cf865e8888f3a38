#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "CaptionCommands.h"
#include "LineWatch.h"
#include "OnAirRecord.h"
#include "Port.h"
#include "PortResolver.h"
#include "SendPreview.h"
#include "SessionState.h"
#include "TessoraFile.h"
#include "UnitWriter.h"

// The show: the four screens, the current one and whether they changed since the file; the
// message line; the unit (its writer, what is on air, the line followed, the greeting and the
// stamps' tick). Every way of driving the show calls these commands, on one thread; the
// window is one of them. Plain C++: the clock and the pauses come from outside.
class CCaptionSession : public CaptionCommands {
public:
    explicit CCaptionSession(SessionClock clock, LineVoice voice = {});
    ~CCaptionSession();
    CCaptionSession(const CCaptionSession&) = delete;
    CCaptionSession& operator=(const CCaptionSession&) = delete;

    // The port the session writes through; the session owns it from now.
    void SetPort(std::unique_ptr<CPort> port);
    CPort* Port() const { return m_port.get(); }
    // Lets go of the port (closed): nothing more is written.
    void ClosePort();
    // A backup unit beside the main one, named as the settings name ports ("" none): given
    // every write the main unit is, on its own line, and what the main unit shows whenever
    // it comes back. A name that opens no device, or the main port's own, is refused: the
    // message line says why and the main line runs alone. Call after SetPort; Connect opens
    // it, checked again against the main port's name then.
    void UseBackup(const std::u16string& name, const PortResolver& resolver);
    CPort* Backup() const { return m_backup.get(); }
    // The backup named, used or refused ("" none).
    const std::u16string& BackupName() const { return m_backupName; }
    // True while no command may run: there is no port, or busy (a modal loop of the
    // window's) says so.
    bool Busy() const override { return !m_port || (m_busy && m_busy()); }
    void SetBusy(std::function<bool()> busy) { m_busy = std::move(busy); }

    // The commands every client reaches the show by.
    void Select(int screen) override;
    void Put(int screen, const ScreenChange& change, WriteOrigin origin) override;
    bool Send(WriteOrigin origin) override;
    // A corner changed on the current screen: it is sent again, and counts as a change.
    void ResendCorners(WriteOrigin origin);
    void Clear(WriteOrigin origin) override;
    PlayResult Play(int screen, const ScreenContent& content, WriteOrigin origin, int cue,
                    bool replaceTyped) override;
    const std::string& Refusal() const override { return m_refusal; }

    // The page's report of the current screen as the operator typed it (the text box's
    // text, every line end LF), and the modified mark.
    void Type(const std::string& boxedText, std::int32_t dateCorner, std::int32_t timeCorner);
    void SetModified(bool modified);
    // A new set of screens (a file opened, or New): Screen1 current, nothing modified.
    void Replace(CTessoraFile screens);
    // The title bar's text (UTF-8), for the state.
    void SetTitle(std::string title);
    const CTessoraFile& Screens() const { return m_doc; }
    int Screen() const { return m_screen; }
    bool Modified() const { return m_modified; }

    // "" takes the notice away.
    void ShowNotice(const std::string& text) override;
    void DropNotice(const std::string& text) override;
    // Whether the machine's clock can be trusted (known: its state could be read), and what
    // the message line says under everything else ("" nothing).
    void SetClock(bool synchronised, bool known, const std::string& warning);
    // The message line (Windows-1252).
    const std::string& Message() const { return m_line.Message(); }
    // What the monitor says of the line (Windows-1252): nothing while it is live.
    std::string LineText() const { return m_line.Text(); }

    enum class LineStart { Live, Lost, NotOpen };
    // Greets the unit on a line that is up; a lost line is tried on, and greeted when back
    // if greetWhenBack. Tells which, for the caller to run the tick or say the port failed.
    LineStart Connect(bool greetWhenBack = true);
    void Greet();
    // Tries the lost line on; each Tick tries it again.
    void Resume(bool greetWhenBack);
    // Says once that the line was lost; true while it is.
    bool NoticeLost() { return m_line.NoticeLost(); }
    // The port was changed: a line lost before is no longer the one followed.
    void ForgetLost() { m_line.Forget(); }
    // Once a second: the line followed, the stamps sent.
    void Tick();

    SessionState State() const override;
    SendPreview NextSend() const override;
    const CCaptionDisplay& UnitDisplay() override { return m_writer.Display(); }
    OnAirListening& OnAir() override { return m_onAir; }
    // Folds what the line took into the display and the record.
    void FoldSent() { m_writer.FoldSent(); }

    int ListenStateChanged(std::function<void()> listener) override;
    void StopListening(int key) override;
    // Called after each text queued for the unit.
    std::function<void()> onQueued;

private:
    void StateChanged();
    // Opens the backup beside the main line.
    void ConnectBackup();
    // Once a tick: tries a lost backup line again and gives a backup that is live but behind
    // what the main unit shows.
    void WatchBackup();
    // Takes the backup named up again, checked against the main port as it is named now.
    void ApplyBackup();
    // Sends the current screen as the given kind of write.
    bool SendScreen(WriteKind kind, WriteOrigin origin, int cue);
    // Applies a change to a screen without telling anyone; true when anything changed, and
    // cornerChanged when a corner did.
    bool Change(int screen, const ScreenChange& change, WriteOrigin origin, bool& cornerChanged);

    SessionClock m_clock;
    std::unique_ptr<CPort> m_port;
    std::unique_ptr<CPort> m_backup;
    std::string m_backupRefusal;
    std::u16string m_backupName;
    std::optional<PortResolver> m_backupResolver;
    // A look at the backup between the ticks is asked for; the flag outlives the session, so
    // a late call does nothing.
    bool m_backupRetry = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // The main port's name the backup was last checked against.
    std::u16string m_backupCheckedWith;
    std::function<bool()> m_busy;
    CUnitWriter m_writer;
    OnAirListening m_onAir;
    CLineWatch m_line;
    CLineWatch m_backupLine;
    LineVoice m_voice;
    CTessoraFile m_doc;
    int m_screen = 1;
    bool m_modified = false;
    std::string m_title;
    bool m_clockSynchronised = true;
    bool m_clockKnown = true;
    std::string m_refusal;
    // A UTF-8 text (a system's reason) as the message line shows it.
    std::function<std::string(const std::string&)> m_toCp1252;
    // The text the last Play put on a screen, which typing by hand is told from.
    std::string m_lastPlayed;
    std::map<int, std::function<void()>> m_listeners;
    int m_nextListener = 1;
    // Inside a command: its changes are told once, when it ends.
    int m_commandDepth = 0;
    bool m_changedInCommand = false;
};
