#include "UnitCommands.h"

#include "Commands.h"

namespace {

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool HoldsUnitCommands(std::string_view text) {
    for (std::size_t at = text.find('{'); at != std::string_view::npos;
         at = text.find('{', at + 1)) {
        const std::string_view rest = text.substr(at);
        if (rest.substr(0, kClearCommand.size()) == kClearCommand) return true;
        if (rest.size() >= 6 && rest[1] == 'C' && Digit(rest[2]) && Digit(rest[3]) &&
            Digit(rest[4]) && Digit(rest[5]))
            return true;
    }
    return false;
}
