#include "SendOptions.h"

#include <charconv>
#include <string_view>
#include <vector>

namespace {

// The screen's number, or nothing when it is no number or no screen of the four.
std::optional<int> ScreenNumber(std::string_view text) {
    int screen = 0;
    const auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), screen);
    if (result != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (screen < kFirstScreen || screen > kLastScreen) return std::nullopt;
    return screen;
}

}  // namespace

std::optional<SendOptions> ParseSendOptions(std::span<const char* const> args, std::string& error) {
    SendOptions options;
    std::vector<std::string_view> operands;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.front() != '-') {
            operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--clear") {
            options.clear = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (const std::string_view option = arg.substr(0, arg.find('='));
                   option == "--port" || option == "--backup") {
            std::string_view name;
            if (arg != option) {
                name = arg.substr(option.size() + 1);
            } else if (i + 1 < args.size()) {
                name = args[++i];
            }
            if (name.empty()) {
                error = std::string(option) + " needs a port name or a device";
                return std::nullopt;
            }
            (option == "--port" ? options.port : options.backup) = std::string(name);
        } else {
            error = "unknown option '" + std::string(arg) + "'";
            return std::nullopt;
        }
    }
    if (options.help || options.version) {
        if (options.help + options.version > 1 || options.clear || options.port || options.backup ||
            !operands.empty()) {
            error = "--help and --version each stand alone";
            return std::nullopt;
        }
        return options;
    }
    if (operands.size() > 2) {
        error = "one file and one screen at a time";
        return std::nullopt;
    }
    if (operands.size() < 2 && !(options.clear && operands.empty())) {
        error = operands.empty() ? "a file and a screen to send are needed"
                                 : "a screen (1 to 4) is needed after the file";
        return std::nullopt;
    }
    if (operands.empty()) return options;
    const std::optional<int> screen = ScreenNumber(operands[1]);
    if (!screen) {
        error = "no screen '" + std::string(operands[1]) + "': screens are 1 to 4";
        return std::nullopt;
    }
    options.file = std::string(operands[0]);
    options.screen = *screen;
    return options;
}

std::string SendUsage() {
    return "usage: tessora-send [--port NAME] [--backup NAME] FILE SCREEN | --clear [--port NAME] "
           "[--backup NAME] [FILE SCREEN] | --help | --version";
}

std::string SendHelp() {
    return SendUsage() +
           "\n"
           "Puts screen SCREEN (1 to 4) of the screen set FILE (.tso) on the caption unit as\n"
           "Send does, waits until the line has taken it, and exits.\n"
           "  --port NAME  a port name mapped under [Ports] (COM1 ...) or a device path;\n"
           "               by default the port the program last used (CommPort)\n"
           "  --backup NAME  a backup unit's port, named as --port is: given the same bytes;\n"
           "               by default none\n"
           "  --clear      clear the unit instead; with FILE SCREEN, that screen's stamps\n"
           "               come back as Clear brings them\n"
           "  --help       this text\n"
           "  --version    the program's version\n";
}
