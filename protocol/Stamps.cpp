#include "Stamps.h"

#include <string_view>

#include "Commands.h"
#include "Corners.h"

namespace {

constexpr int kTopRow = 0;
constexpr int kBottomRow = 18;
constexpr int kLeftColumn = 0;
// An 8-byte stamp here ends in column 51, the last one addressed.
constexpr int kRightColumn = 44;
// A shared corner holds "date time", 17 bytes; on the right it too ends in column 51.
constexpr int kSharedRightColumn = 35;
// In a shared corner the time follows the 8-byte date.
constexpr int kTimeOffsetInShared = 8;

int StampRow(int corner) {
    return IsTopCorner(corner) ? kTopRow : kBottomRow;
}

int DateColumn(int corner, bool shared) {
    if (!IsRightCorner(corner)) return kLeftColumn;
    return shared ? kSharedRightColumn : kRightColumn;
}

int TimeColumn(int corner, bool shared) {
    if (!shared) return IsRightCorner(corner) ? kRightColumn : kLeftColumn;
    return DateColumn(corner, shared) + kTimeOffsetInShared;
}

// Empty when the time does not format, as the stamp then shows nothing.
std::string Format(const std::tm* local, const char* format) {
    if (local == nullptr) return {};
    char buffer[128];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, local);
    return std::string(buffer, length);
}

std::string StampCommand(int column, int row, std::string_view text) {
    std::string command = PositionCommand(column, row);
    command.append(text);
    return command;
}

}  // namespace

StampCommands ComposeStamps(int dateCorner, int timeCorner, std::time_t now) {
    // Date and time come from one conversion, so a stamp written at midnight never pairs
    // the new time with the old date.
    std::tm localBuffer{};
    const std::tm* local = localtime_r(&now, &localBuffer);

    // A stored corner outside the lists' values is treated as None: there is no column
    // for it, and the text layout does not keep a row free for it either.
    const bool hasDate = IsCorner(dateCorner);
    const bool hasTime = IsCorner(timeCorner);
    const bool shared = hasDate && dateCorner == timeCorner;

    StampCommands commands;
    if (hasDate) {
        commands.date = StampCommand(DateColumn(dateCorner, shared), StampRow(dateCorner),
                                     Format(local, "%d/%m/%y"));
    }
    if (hasTime) {
        const std::string text = Format(local, "%H:%M:%S");
        commands.time = StampCommand(TimeColumn(timeCorner, shared), StampRow(timeCorner),
                                     shared ? " " + text : text);
    }
    return commands;
}

int MsUntilNextStampTick(std::chrono::system_clock::time_point now) {
    using std::chrono::milliseconds;
    const auto sinceEpoch = std::chrono::duration_cast<milliseconds>(now.time_since_epoch());
    const int intoSecond = static_cast<int>(((sinceEpoch.count() % 1000) + 1000) % 1000);
    // Right at the turn, before the tick's moment: this second's tick is still to come.
    if (intoSecond < kTickAfterSecondMs) return kTickAfterSecondMs - intoSecond;
    return 1000 - intoSecond + kTickAfterSecondMs;
}
