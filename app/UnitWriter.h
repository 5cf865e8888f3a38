#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "CaptionDisplay.h"
#include "OnAirRecord.h"
#include "Port.h"

// Everything the window writes to the caption unit passes through here: queued on the
// port, recorded with its kind and origin, and followed into the unit's display as the line
// takes it.
class CUnitWriter {
public:
    explicit CUnitWriter(std::unique_ptr<CPort>& port);

    // Queues text; false when there is no port or it refused the text.
    bool Send(std::string_view text);
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

    // Called after each text queued.
    std::function<void()> onQueued;

private:
    // Why the port cannot take all of pieces now, nothing when it can.
    std::error_code Room(const std::vector<std::string_view>& pieces);
    // Records the held writes that have settled; while any is still held, looks again soon.
    void SettleHeld();

    std::unique_ptr<CPort>& m_port;
    QTimer m_settle;
    CCaptionDisplay m_display;
    std::string m_sentScratch;
    OnAirRecord m_onAir;
};
