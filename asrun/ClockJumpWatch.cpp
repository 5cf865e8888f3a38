#include "ClockJumpWatch.h"

#include <utility>

std::optional<ClockReading> ClockJumpWatch::Tick(const ClockReading& now) {
    const std::optional<ClockReading> last = std::exchange(m_last, now);
    if (!last) return std::nullopt;
    const auto drift = (now.wall - last->wall) - (now.steady - last->steady);
    if (now.offset != last->offset || drift > kLeeway || drift < -kLeeway) return last;
    return std::nullopt;
}
