#include "UnitWriter.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace {

// How often the line is looked at while a write is held: what went on air is told soon after.
constexpr int kSettleMs = 20;

}  // namespace

CUnitWriter::CUnitWriter(std::unique_ptr<CPort>& port) : m_port(port) {
    m_settle.setInterval(kSettleMs);
    QObject::connect(&m_settle, &QTimer::timeout, [this] { FoldSent(); });
}

bool CUnitWriter::Send(std::string_view text) {
    if (!m_port) return false;
    // Sent bytes hold their room in the queue until they are taken.
    FoldSent();
    const bool taken = m_port->Write(text) == 0;
    if (onQueued) onQueued();
    return taken;
}

void CUnitWriter::Write(UnitWrite write, const std::vector<std::string_view>& pieces) {
    write.time = std::chrono::system_clock::now();
    CPort* const port = m_port.get();
    const std::uint64_t from = port ? port->WrittenCount() : 0;
    bool queued = true;
    for (const std::string_view piece : pieces) {
        write.bytes += piece;
        queued = Send(piece) && queued;
    }
    if (write.kind == WriteKind::Tick) {
        write.taken = queued;
        write.sent = queued ? write.bytes.size() : 0;
        m_onAir.Record(write);
        return;
    }
    const std::uint64_t to = port ? port->WrittenCount() : 0;
    // Recorded once the line has let go of every byte queued: a port replaced meanwhile took
    // its bytes with it.
    m_onAir.Hold(std::move(write),
                 [&current = m_port, port, from, to]() -> std::optional<std::size_t> {
                     if (port == nullptr || current.get() != port) return 0;
                     return port->BytesOut(from, to);
                 });
    SettleHeld();
}

bool CUnitWriter::FoldSent() {
    m_sentScratch.clear();
    if (m_port) m_port->TakeSent(m_sentScratch);
    m_display.Feed(m_sentScratch);
    SettleHeld();
    return !m_sentScratch.empty();
}

void CUnitWriter::SettleHeld() {
    m_onAir.Settle();
    if (!m_onAir.Holding()) {
        m_settle.stop();
    } else if (!m_settle.isActive()) {
        m_settle.start();
    }
}
