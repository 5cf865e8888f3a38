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
#include "CaptionSession.h"
#include "ClockWatch.h"
#include "CueKeeper.h"
#include "DHtmlDialog.h"
#include "MonitorKeeper.h"
#include "SendPreview.h"
#include "SetupDlg.h"
#include "TessoraFile.h"

class CAsRunLog;
class CRemoteControl;
class OscListener;

// The main window: a view of the caption session (four screens of caption text with their
// stamp corners, sent to the caption unit over the serial line) and its handlers. Each
// handler reads the page, calls the session and shows it; the page is refilled from the
// session after every load and every change another client makes.
class CTessoraDlg : public CDHtmlDialog {
public:
    explicit CTessoraDlg(QWidget* parent = nullptr);
    ~CTessoraDlg() override;

    // The show, as every other client reaches it.
    CCaptionSession& Session() { return m_session; }
    CMonitorKeeper& Monitor() { return m_monitor; }
    CCueKeeper& Cues() { return m_cues; }
    // Whether the stamps can be trusted, told to the session's message line.
    CClockWatch& Clock() { return m_clock; }
    // A screen set to open once the window is up and the unit greeted (from the command line).
    void OpenAtStart(std::optional<std::string> path) { m_strStartFile = std::move(path); }
    // The device a port name that the settings do not map opens (COMn: /dev/ttyS<n-1>); the
    // tests stand in a line of their own.
    void SetUnmappedPortDevice(PortDeviceResolver resolver) {
        m_unmappedPortDevice = std::move(resolver);
    }
    bool InMiniMode() const { return m_bMiniMode; }
    // The strip's stored place and outer size, as the settings keep them.
    struct StripStore {
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::int32_t width = 0;
        std::int32_t height = 0;
    };
    StripStore StoredStrip() const {
        return {m_nMinPosX, m_nMinPosY, m_nMinSizeWidth, m_nMinSizeHeight};
    }
    void StoreStrip(const StripStore& strip);

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

    // The link to the caption unit: the session greets a line that is up; here the clock
    // starts, or a port that does not open gets the port box.
    void Connect(bool greetWhenBack = true);
    // Starts the clock on the lost line, which each tick then tries again.
    void ResumeLine(bool greetWhenBack);

    // Makes the one port over the operator's device mapping; says so when the settings file
    // could not be read as written.
    void CreatePort();
    void LoadSettings();
    void SaveSettings();

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
    // The show itself; first, as every client below reaches it.
    CCaptionSession m_session;
    PortDeviceResolver m_unmappedPortDevice = DefaultPortDevice;
    // The settings' port mapping, read at start; a backup chosen in Setup goes through it.
    std::optional<PortResolver> m_portResolver;
    bool m_bMiniMode = false;
    std::int32_t m_nMinPosX = 0;
    std::int32_t m_nMinPosY = 0;
    std::int32_t m_nMinSizeWidth = 100;
    std::int32_t m_nMinSizeHeight = 50;
    RECT m_rcFull;
    // Where the strip was shown (outer top left): the stored place, or where it was pulled
    // onto a screen.
    QPoint m_ptStripShown;
    CClockWatch m_clock;
    // Emptied when it is taken.
    std::optional<std::string> m_strStartFile;
    CMonitorKeeper m_monitor;
    CCueKeeper m_cues{*this, m_session, [this] { return m_bMiniMode; }};

    // How a Save ended: the commands that offered it go on only after a written file.
    enum class SaveResult { written, cancelled, failed };
    SaveResult Save();
    // Offers to save unsaved changes with the given icon; true when the command may go on.
    bool PromptSave(unsigned icon);
    // Reads the file at path into the screens and shows Screen1, as Open does with the file
    // its dialog gives.
    void OpenFile(const std::string& path);
    // The title bar's text (Windows-1252), and the session's copy of it.
    void Retitle(const std::string& title);

    // Shows what another client changed: the page is written only where it differs from
    // what it was last given, so typing is never written over by its own echo.
    void SessionChanged();
    // What the page was last given, and whether it is being read or written now.
    int m_shownScreen = 0;
    ScreenContent m_shown;
    bool m_bShownDirty = false;
    std::string m_strShownMessage;
    bool m_bExchanging = false;
    std::vector<DHtmlEventMapEntry> m_eventMap;
    std::vector<DHtmlKeyMapEntry> m_keyMap;
    std::unique_ptr<CRemoteControl> m_pRemote;
    std::unique_ptr<OscListener> m_pOsc;
    std::unique_ptr<CAsRunLog> m_pAsRun;
    MessageMap m_messageMap;
    // The strip's outer size: the stored one, unless it leaves no room for its text.
    QSize StripSize() const;
    // Who posted a command: the page is the strip while the window is one.
    WriteOrigin OriginOf(LPARAM lParam) const;
};
