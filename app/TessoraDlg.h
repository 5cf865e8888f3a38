#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CaptionDisplay.h"
#include "ClockWatch.h"
#include "CueKeeper.h"
#include "DHtmlDialog.h"
#include "LineWatch.h"
#include "MonitorKeeper.h"
#include "Port.h"
#include "SendPreview.h"
#include "SetupDlg.h"
#include "TessoraFile.h"
#include "UnitWriter.h"
#include "WindowDoor.h"

class CAsRunLog;
class CRemoteControl;

// The main window: four screens of caption text with their stamp corners, sent to the
// caption unit over the serial line. All state lives in these fields; the page is a view
// that is refilled from them after every load.
class CTessoraDlg : public CDHtmlDialog, public CWindowDoor {
public:
    explicit CTessoraDlg(QWidget* parent = nullptr);
    ~CTessoraDlg() override;

    // The door for the rest of the program: each command posts or sends the message the
    // page's own button or tab does, with its origin as the message's lParam.
    bool Busy() const override;
    void SelectScreen(int screen, WriteOrigin origin) override;
    void PutScreen(int screen, const ScreenChange& change, WriteOrigin origin) override;
    void Send(WriteOrigin origin) override;
    std::string LastSendRefused() const override { return m_strSendRefusal; }
    void Clear(WriteOrigin origin) override;
    void ShowNotice(const std::string& text) override;
    void DropNotice(const std::string& text) override;
    void SendCue(int cue) override;
    WindowState State() override;
    SendPreview NextSend() override { return PreviewNextSend(); }
    const CCaptionDisplay& UnitDisplay() override;
    OnAirRecord& OnAir() override { return m_unit.Record(); }
    int ListenForChanges(std::function<void()> listener) override;
    void StopListening(int key) override;

    // Marks the current tab, focuses the text and writes the fields to the page.
    void ShowScreen();

    // Commands, run from posted messages.
    LRESULT OnSelectScreen(WPARAM wParam, LPARAM lParam);
    LRESULT OnFileNew(WPARAM wParam, LPARAM lParam);
    LRESULT OnFileOpen(WPARAM wParam, LPARAM lParam);
    LRESULT OnFileSave(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetup(WPARAM wParam, LPARAM lParam);
    LRESULT OnClear(WPARAM wParam, LPARAM lParam);
    LRESULT OnSend(WPARAM wParam, LPARAM lParam);
    LRESULT OnStampChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnToggleMiniMode(WPARAM wParam, LPARAM lParam);
    LRESULT OnOpenStartFile(WPARAM wParam, LPARAM lParam);
    LRESULT OnToggleMonitor(WPARAM wParam, LPARAM lParam);

    // The link to the caption unit. Connect greets the unit on a line that is up and starts
    // the clock; a lost line is tried on, and greeted when back if greetWhenBack; a port that
    // does not open gets the port box.
    void Connect(bool greetWhenBack = true);
    void Greet();
    // Starts the clock on the lost line, which each tick then tries again.
    void ResumeLine(bool greetWhenBack);
    // The page's side of a Send: the too-long warning on the message line, the fields shown.
    void ComposeText(const TextLayout& layout);
    // Queues text for the unit; false when the port did not take it.
    bool SendString(std::string_view text);
    void SendStamps();
    // What Send would put on the unit now: the current screen as the page shows it.
    SendPreview PreviewNextSend();
    // The current screen (m_nScreen 2 to 5) as the page shows it now, read into copies.
    void PeekCurrentScreen(std::string& text, std::int32_t& dateCorner, std::int32_t& timeCorner);

    // Makes the one port over the operator's device mapping; says so when the settings file
    // could not be read as written.
    void CreatePort();
    void LoadSettings();
    void SaveSettings();

    std::unique_ptr<CPort> m_pPort;
    // The device a port name that the settings do not map opens (COMn: /dev/ttyS<n-1>); the
    // tests stand in a line of their own.
    PortDeviceResolver m_unmappedPortDevice = DefaultPortDevice;
    CTessoraFile m_doc;
    bool m_bMiniMode = false;
    std::int32_t m_nScreen = 2;
    std::int32_t m_nMinPosX = 0;
    std::int32_t m_nMinPosY = 0;
    std::int32_t m_nMinSizeWidth = 100;
    std::int32_t m_nMinSizeHeight = 50;
    bool m_bDirty = false;
    RECT m_rcFull;
    // Where the strip was shown (outer top left): the stored place, or where it was pulled
    // onto a screen.
    QPoint m_ptStripShown;
    std::string m_strMessage;
    // Every write to the unit, and the unit's display; the line as the operator follows it.
    CUnitWriter m_unit{m_pPort};
    CLineWatch m_line;
    // Whether the stamps can be trusted, on the message line under the line's texts.
    CClockWatch m_clock;

    // A screen set to open once the window is up and the unit greeted (from the command
    // line); emptied when it is taken.
    std::optional<std::string> m_strStartFile;

    CMonitorKeeper m_monitor;
    CCueKeeper m_cues{*this, *this, [this] { return m_bMiniMode; }};

    bool OnInitDialog() override;
    void OnCancel() override;
    void OnTimer(unsigned id) override;

protected:
    void OnDocumentComplete(const QString& url) override;
    void DoDataExchange(CDataExchange* pDX) override;

    const std::vector<DHtmlEventMapEntry>& GetDHtmlEventMap() const override;
    const std::vector<DHtmlKeyMapEntry>& GetDHtmlKeyMap() const override { return m_keyMap; }
    const MessageMap& GetMessageMap() const override;
    // A text the document could not find memory for is shown as the host shows any other
    // out-of-memory: an exclamation, over every window.
    void ReportException(std::exception_ptr error) override;
    void OnControlCharactersDropped() override;

private:
    // How a Save ended: the commands that offered it go on only after a written file.
    enum class SaveResult { written, cancelled, failed };
    SaveResult Save();
    // Offers to save unsaved changes with the given icon; true when the command may go on.
    bool PromptSave(unsigned icon);
    // Reads the file at path into the screens and shows Screen1, as Open does with the file
    // its dialog gives.
    void OpenFile(const std::string& path);

    // The current screen's text as last exchanged with the page, line ends as the document
    // has them.
    std::string m_strShownText;
    // Tells the change listeners and the monitor; a next Send gone stale is composed again.
    void MonitorNeedsRefresh(bool nextSendChanged);
    std::vector<DHtmlEventMapEntry> m_eventMap;
    std::vector<DHtmlKeyMapEntry> m_keyMap;
    std::unique_ptr<CRemoteControl> m_pRemote;
    std::unique_ptr<CAsRunLog> m_pAsRun;
    MessageMap m_messageMap;
    std::map<int, std::function<void()>> m_changeListeners;
    int m_nextListenerKey = 1;
    // Why the last Send of the current screen did not go out, "" when it did.
    std::string m_strSendRefusal;
    // A Send of the current screen, as a Send or as the corner lists' resend.
    void SendScreen(WriteKind kind, WriteOrigin origin, int cue = 0);
    // The strip's outer size: the stored one, unless it leaves no room for its text.
    QSize StripSize() const;
    // Who posted a command: the page is the strip while the window is one.
    WriteOrigin OriginOf(LPARAM lParam) const;
};
