#include "UnitWriter.h"

#include <chrono>

#include "TransmitRing.h"

bool CUnitWriter::Send(std::string_view text) {
    if (!m_port) return false;
    // Sent bytes hold their room in the queue until they are taken.
    FoldSent();
    const bool taken = m_port->Write(text) == 0;
    if (onQueued) onQueued();
    return taken;
}

std::error_code CUnitWriter::Room(const std::vector<std::string_view>& pieces) {
    if (!m_port) return std::make_error_code(std::errc::not_connected);
    // Sent bytes hold their room until they are taken; each piece's Send takes them again,
    // so room found here is still there for every piece.
    FoldSent();
    std::size_t total = 0;
    for (const std::string_view piece : pieces) {
        if (piece.size() > CPort::kMaxText) return std::make_error_code(std::errc::message_size);
        total += piece.size();
    }
    if (m_port->QueuedBytes() + total > TransmitRing::kCapacity)
        return std::make_error_code(std::errc::no_buffer_space);
    return {};
}

std::error_code CUnitWriter::Write(UnitWrite write, const std::vector<std::string_view>& pieces) {
    std::error_code refused = Room(pieces);
    for (const std::string_view piece : pieces) {
        write.bytes += piece;
        if (!refused && !Send(piece))
            refused = m_port->LastError() ? m_port->LastError()
                                          : std::make_error_code(std::errc::io_error);
    }
    write.taken = !refused;
    write.time = std::chrono::system_clock::now();
    m_onAir.Record(write);
    return refused;
}

bool CUnitWriter::FoldSent() {
    if (!m_port) return false;
    m_sentScratch.clear();
    m_port->TakeSent(m_sentScratch);
    m_display.Feed(m_sentScratch);
    return !m_sentScratch.empty();
}
