#include "UnitWriter.h"

#include <cstdint>
#include <optional>

#include "Cp1252.h"
#include "TransmitRing.h"

namespace {

// How often the line is looked at while a write is held: what went on air is told soon after.
constexpr std::chrono::milliseconds kSettle{20};
// How long after the main line let go of a write the record waits for the backup to have let
// go of it too: a backup that lags further is told as not having taken it, and a hung one
// holds the record up no longer than this.
constexpr std::chrono::milliseconds kBackupGrace{250};

}  // namespace

std::string PortNameOf(const CPort& port) {
    std::u16string name;
    port.GetPortName(&name);
    // A port's name comes from the settings in Windows-1252.
    return Utf8FromCp1252(Cp1252FromUtf16(name));
}

CUnitWriter::CUnitWriter(std::unique_ptr<CPort>& port, std::unique_ptr<CPort>& backup,
                         const SessionClock& clock)
    : m_port(port), m_backup(backup), m_clock(clock) {}

CUnitWriter::~CUnitWriter() {
    *m_alive = false;
}

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
    write.time = m_clock.now();
    if (m_port) {
        write.port = PortNameOf(*m_port);
        write.device = m_port->DevicePath();
    }
    std::error_code refused = Room(pieces);
    CPort* const port = m_port.get();
    const std::uint64_t from = port ? port->WrittenCount() : 0;
    for (const std::string_view piece : pieces) {
        write.bytes += piece;
        if (!refused && !Send(piece))
            refused = m_port->LastError() ? m_port->LastError()
                                          : std::make_error_code(std::errc::io_error);
    }
    const std::uint64_t to = port ? port->WrittenCount() : 0;
    // The backup is given what the main line was given; a write refused as such (no room
    // behind the last one, too long) goes to neither. A main line that is down still
    // leaves the backup fed.
    CPort* const backup = m_backup.get();
    const std::uint64_t backupFrom = backup ? backup->WrittenCount() : 0;
    const bool commandRefused =
        refused == std::errc::no_buffer_space || refused == std::errc::message_size;
    const bool backupQueued = backup && !commandRefused && WriteBackup(pieces);
    if (!commandRefused) ShowWrite(m_given, write);
    const std::uint64_t backupTo = backup ? backup->WrittenCount() : 0;
    write.backup = backup != nullptr;
    if (write.kind == WriteKind::Tick) {
        write.taken = !refused;
        write.sent = refused ? 0 : write.bytes.size();
        write.backupTaken = backupQueued;
        m_onAir.Record(write);
        return refused;
    }
    OnAirRecord::BytesOut backupOut;
    if (backup) {
        backupOut = [this, backup, backupQueued, backupFrom, backupTo,
                     mainDone = std::optional<std::chrono::steady_clock::time_point>()]() mutable
            -> std::optional<std::size_t> {
            if (!backupQueued || m_backup.get() != backup) return 0;
            if (const auto out = backup->BytesOut(backupFrom, backupTo)) {
                m_backupStalled = false;
                return out;
            }
            // Asked only once the main line has let go of its bytes. A backup found stalled
            // holds no further record up at all, until it lets go of a write again.
            if (m_backupStalled) return 0;
            const auto now = std::chrono::steady_clock::now();
            if (!mainDone) mainDone = now;
            if (now - *mainDone < kBackupGrace) return std::nullopt;
            m_backupStalled = true;
            return 0;
        };
    }
    // Recorded once the line has let go of every byte queued (none, for a write refused
    // whole): a port replaced meanwhile took its bytes with it.
    m_onAir.Hold(
        std::move(write),
        [&current = m_port, port, from, to]() -> std::optional<std::size_t> {
            if (port == nullptr || current.get() != port) return 0;
            return port->BytesOut(from, to);
        },
        std::move(backupOut));
    SettleHeld();
    return refused;
}

bool CUnitWriter::WriteBackup(const std::vector<std::string_view>& pieces) {
    CPort& backup = *m_backup;
    if (m_backupBehind) return false;
    std::size_t total = 0;
    for (const std::string_view piece : pieces) total += piece.size();
    // Whole or not at all, as for the main line: half a write would garble its picture.
    if (backup.State() != CPort::LineState::Live ||
        backup.QueuedBytes() + total > TransmitRing::kCapacity) {
        m_backupBehind = true;
        return false;
    }
    for (const std::string_view piece : pieces)
        if (backup.Write(piece) != 0) {
            m_backupBehind = true;
            return false;
        }
    return true;
}

bool CUnitWriter::CatchUp(const std::vector<std::string_view>& pieces) {
    if (!m_backup) return false;
    m_backupBehind = false;
    return WriteBackup(pieces);
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
    if (!m_onAir.Holding() || m_lookAgain || !m_clock.later) return;
    m_lookAgain = true;
    m_clock.later(kSettle, [this, alive = m_alive] {
        if (!*alive) return;
        m_lookAgain = false;
        FoldSent();
    });
}
