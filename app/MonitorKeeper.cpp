#include "MonitorKeeper.h"

#include <chrono>

#include "DHtmlDialog.h"
#include "Desk.h"
#include "LineWatch.h"
#include "SettingsStore.h"

namespace {

constexpr auto kMonitorFrame = std::chrono::milliseconds(33);

}  // namespace

CMonitorKeeper::CMonitorKeeper(CDHtmlDialog& window, CaptionCommands& session, Sources sources)
    : m_window(window), m_session(session), m_sources(std::move(sources)) {
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kMonitorFrame);
    QObject::connect(&m_refresh, &QTimer::timeout, [this] { Refresh(); });
}

void CMonitorKeeper::Show(bool show) {
    m_bOpen = show;
    if (!show) {
        if (m_pMonitor) {
            CDesk::Of(m_window).Hiding(CDesk::kMonitor, *m_pMonitor);
            m_pMonitor->hide();
        }
        return;
    }
    if (!m_pMonitor) {
        m_pMonitor = std::make_unique<CMonitorWnd>(&m_window);
        m_pMonitor->onClosed = [this] { Show(false); };
        // Measured with its texts in: a warning under a grid makes it taller.
        m_bNextSendStale = true;
        Refresh();
    }
    m_bNextSendStale = true;
    Refresh();
    // The strip stays where the operator put it; the full window may step aside.
    CDesk::Of(m_window).Place(*m_pMonitor, !m_sources.miniMode());
    m_pMonitor->show();
}

void CMonitorKeeper::NeedsRefresh(bool nextSendChanged) {
    m_bNextSendStale |= nextSendChanged;
    if (!Shown() || m_refresh.isActive()) return;
    m_refresh.start();
}

void CMonitorKeeper::Refresh() {
    if (!m_pMonitor) return;
    // Bytes still queued now are followed out frame by frame; the last frame folds the rest.
    const bool bytesToGo = m_sources.queuedBytes() > 0;
    if (m_bNextSendStale) {
        m_bNextSendStale = false;
        m_pMonitor->ShowNextSend(m_session.NextSend());
    }
    const SessionState state = m_session.State();
    const std::string backup = BackupLineText(state.backup);
    std::string line = m_sources.lineText();
    // Beside a backup the main line says that it is live too: the two read as a pair.
    if (line.empty() && !backup.empty() && state.live) line = "Main line live: " + state.device;
    m_pMonitor->ShowUnit(m_session.UnitDisplay(), line, m_sources.clockText());
    m_pMonitor->ShowBackup(backup);
    if (bytesToGo && m_pMonitor->isVisible()) m_refresh.start();
}

void CMonitorKeeper::Load(const SettingsStore& store) {
    if (const std::optional<std::int32_t> open = store.ReadInt32("Monitor/Open"))
        m_bOpen = *open != 0;
    CDesk::Of(m_window).Load(CDesk::kMonitor, store);
}

void CMonitorKeeper::Save(SettingsStore& store) {
    store.WriteInt32("Monitor/Open", m_bOpen ? 1 : 0);
    CDesk::Of(m_window).Save(CDesk::kMonitor, store, m_pMonitor.get());
}
