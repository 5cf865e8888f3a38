#include "UnitWriter.h"

#include <chrono>

bool CUnitWriter::Send(std::string_view text) {
    if (!m_port) return false;
    // Sent bytes hold their room in the queue until they are taken.
    FoldSent();
    const bool taken = m_port->Write(text) == 0;
    if (onQueued) onQueued();
    return taken;
}

void CUnitWriter::Write(UnitWrite write, const std::vector<std::string_view>& pieces) {
    write.taken = true;
    for (const std::string_view piece : pieces) {
        write.bytes += piece;
        write.taken = Send(piece) && write.taken;
    }
    write.time = std::chrono::system_clock::now();
    m_onAir.Record(write);
}

bool CUnitWriter::FoldSent() {
    if (!m_port) return false;
    m_sentScratch.clear();
    m_port->TakeSent(m_sentScratch);
    m_display.Feed(m_sentScratch);
    return !m_sentScratch.empty();
}
