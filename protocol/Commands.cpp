#include "Commands.h"

#include <cassert>

namespace {

void AppendTwoDigits(std::string& out, int value) {
    assert(value >= 0 && value <= 99);
    out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

std::string PositionCommand(int column, int row) {
    std::string command;
    AppendPositionCommand(command, column, row);
    return command;
}

void AppendPositionCommand(std::string& out, int column, int row) {
    out.append("{C");
    AppendTwoDigits(out, column);
    AppendTwoDigits(out, row);
}
