#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "CaptionDisplay.h"
#include "OnAirRecord.h"
#include "Port.h"

// What the session asks of the world around it: the time, a call back later on the
// session's own thread, a pause. The program gives the system's; tests give their own and
// run without waiting.
struct SessionClock {
    std::function<std::chrono::system_clock::time_point()> now = [] {
        return std::chrono::system_clock::now();
    };
    // Calls back once, after about the delay; nothing for none (nothing is looked at again).
    std::function<void(std::chrono::milliseconds, std::function<void()>)> later;
    // Holds the caller's thread for the time given.
    std::function<void(std::chrono::milliseconds)> pause;
};

// The port's name (COM1...) in UTF-8.
std::string PortNameOf(const CPort& port);

// Everything the session writes to the caption unit passes through here: queued on the
// port, recorded with its kind and origin, and followed into the unit's display as the line
// takes it. A backup unit, when there is one, is given the same bytes on a line of its own,
// after the main one's are queued: its queue and its worker are its own, so it never holds
// the main unit up.
class CUnitWriter {
public:
    CUnitWriter(std::unique_ptr<CPort>& port, std::unique_ptr<CPort>& backup,
                const SessionClock& clock);
    ~CUnitWriter();
    CUnitWriter(const CUnitWriter&) = delete;
    CUnitWriter& operator=(const CUnitWriter&) = delete;

    // Queues pieces in order as one write, recorded once the line has let go of its bytes:
    // taken only if every one left. A tick is recorded at once. A write the queue has no room
    // for is refused whole, so the unit never gets half of one (a Send's clear without its
    // text). Gives why it was refused, nothing when queued.
    std::error_code Write(UnitWrite write, const std::vector<std::string_view>& pieces);
    // Folds the bytes the line took since the last call into the display, and records the
    // writes that have settled; true when any byte.
    bool FoldSent();
    // What the unit shows: decoded from every byte the line has taken so far.
    const CCaptionDisplay& Display() {
        FoldSent();
        return m_display;
    }
    OnAirRecord& Record() { return m_onAir; }
    // What the units show once every write queued has reached them: the record's picture
    // ahead of the bytes still on their way. A backup that comes back is given this.
    const OnAir& Given() const { return m_given; }

    // The backup missed a write (its line down, or its queue full): it is given nothing more
    // until CatchUp has given it what the main unit shows.
    bool BackupBehind() const { return m_backupBehind; }
    void SetBackupBehind() { m_backupBehind = true; }
    // Gives the backup alone the pieces (what the main unit shows), recording nothing; true
    // when it took every one, and the backup is no longer behind.
    bool CatchUp(const std::vector<std::string_view>& pieces);

    // Called after each text queued.
    std::function<void()> onQueued;

private:
    // Queues text; false when there is no port or it refused the text.
    bool Send(std::string_view text);
    // Why the port cannot take all of pieces now, nothing when it can.
    std::error_code Room(const std::vector<std::string_view>& pieces);
    // Records the held writes that have settled; while any is still held, looks again soon.
    void SettleHeld();
    // Queues the pieces on the backup whole, or none of them (and it is behind); true when
    // queued.
    bool WriteBackup(const std::vector<std::string_view>& pieces);

    std::unique_ptr<CPort>& m_port;
    std::unique_ptr<CPort>& m_backup;
    bool m_backupBehind = false;
    OnAir m_given;
    // The backup held a write's bytes past the grace after the main line let go of them.
    bool m_backupStalled = false;
    const SessionClock& m_clock;
    // A look again is asked for; the flag outlives the writer, so a late call does nothing.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_lookAgain = false;
    CCaptionDisplay m_display;
    std::string m_sentScratch;
    OnAirRecord m_onAir;
};
