#pragma once

#include <QPoint>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "CaptionCommands.h"
#include "MonitorWnd.h"

class CDHtmlDialog;
class SettingsStore;

// The unit monitor's life beside the main window: made on first showing and placed clear of
// the window, brought up to date at most about 30 times a second, and whether it was open
// and where kept in the settings. What it shows comes from the caption session.
class CMonitorKeeper {
public:
    struct Sources {
        // The line as the monitor says it ("" while live), the clock's warning ("" none), and
        // the bytes still queued.
        std::function<std::string()> lineText;
        std::function<std::string()> clockText;
        std::function<std::size_t()> queuedBytes;
        // Whether the window is the strip, which stays where the operator put it.
        std::function<bool()> miniMode;
    };
    CMonitorKeeper(CDHtmlDialog& window, CaptionCommands& session, Sources sources);

    void Show(bool show);
    bool Shown() const { return m_pMonitor && m_pMonitor->isVisible(); }
    // Asks for a refresh at the next frame; a next Send gone stale is composed again.
    void NeedsRefresh(bool nextSendChanged);
    // Brings the shown monitor up to date now.
    void Refresh();
    CMonitorWnd* Window() const { return m_pMonitor.get(); }

    void Load(const SettingsStore& store);
    void Save(SettingsStore& store);

    // Whether it is (to be) shown; the command line may ask for it before the window is up.
    bool m_bOpen = false;

private:
    CDHtmlDialog& m_window;
    CaptionCommands& m_session;
    Sources m_sources;
    std::unique_ptr<CMonitorWnd> m_pMonitor;
    QTimer m_refresh;
    bool m_bNextSendStale = true;
};
