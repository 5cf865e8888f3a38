#include "MonitorKeeper.h"

#include <chrono>

#include "DHtmlDialog.h"
#include "MainWindowFrame.h"
#include "SettingsStore.h"

namespace {

constexpr auto kMonitorFrame = std::chrono::milliseconds(33);

}  // namespace

CMonitorKeeper::CMonitorKeeper(CDHtmlDialog& window, CWindowDoor& door, Sources sources)
    : m_window(window), m_door(door), m_sources(std::move(sources)) {
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kMonitorFrame);
    QObject::connect(&m_refresh, &QTimer::timeout, [this] { Refresh(); });
}

void CMonitorKeeper::Show(bool show) {
    m_bOpen = show;
    if (!show) {
        if (m_pMonitor) {
            m_pos = m_pMonitor->geometry().topLeft();
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
        // The monitor's frame will be the window manager's, as the main window's is.
        const MainWindowFrame main = FrameOfMainWindow(m_window);
        // The strip stays where the operator put it; the full window may step aside.
        if (const std::optional<QPoint> aside =
                m_pMonitor->PlaceBeside(main.outer, main.frame, m_pos, !m_sources.miniMode()))
            MoveMainWindow(m_window, main, *aside);
    }
    m_bNextSendStale = true;
    Refresh();
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
        m_pMonitor->ShowNextSend(m_door.NextSend());
    }
    m_pMonitor->ShowUnit(m_door.UnitDisplay(), m_sources.lineText(), m_sources.clockText());
    if (bytesToGo && m_pMonitor->isVisible()) m_refresh.start();
}

void CMonitorKeeper::Load(const SettingsStore& store) {
    if (const std::optional<std::int32_t> open = store.ReadInt32("Monitor/Open"))
        m_bOpen = *open != 0;
    const std::optional<std::int32_t> x = store.ReadInt32("Monitor/X");
    const std::optional<std::int32_t> y = store.ReadInt32("Monitor/Y");
    if (x && y) m_pos = QPoint(*x, *y);
}

void CMonitorKeeper::Save(SettingsStore& store) {
    if (Shown()) m_pos = m_pMonitor->geometry().topLeft();
    store.WriteInt32("Monitor/Open", m_bOpen ? 1 : 0);
    if (m_pos) {
        store.WriteInt32("Monitor/X", m_pos->x());
        store.WriteInt32("Monitor/Y", m_pos->y());
    }
}
