#include "CommandLine.h"

#include <string_view>

#include "AsRunText.h"

std::optional<CCommandLine> ParseCommandLine(std::span<const char* const> args,
                                             std::string& strError) {
    CCommandLine options;
    bool bOptionsEnded = false;
    bool bCuesFileNext = false;
    for (std::size_t index = 0; index < args.size(); ++index) {
        const std::string_view arg = args[index];
        if (bCuesFileNext) {
            bCuesFileNext = false;
            if (options.m_strCuesFile) {
                strError = "one cue list at a time";
                return std::nullopt;
            }
            options.m_strCuesFile = std::string(arg);
            continue;
        }
        if (!bOptionsEnded && arg == "--cues") {
            bCuesFileNext = true;
            continue;
        }
        if (!bOptionsEnded && arg == "--") {
            bOptionsEnded = true;
            continue;
        }
        if (!bOptionsEnded && arg == "--list-ports") {
            options.m_bListPorts = true;
            continue;
        }
        if (!bOptionsEnded && arg == "--remote-token") {
            options.m_bRemoteToken = true;
            continue;
        }
        if (!bOptionsEnded && arg == "--as-run") {
            options.m_bAsRun = true;
            // The date is the argument after, when it is no option.
            if (index + 1 < args.size() && args[index + 1][0] != '-') {
                const std::string_view date = args[++index];
                if (!ParseDay(date)) {
                    strError =
                        "--as-run takes a date as YYYY-MM-DD, not '" + std::string(date) + "'";
                    return std::nullopt;
                }
                options.m_strAsRunDate = std::string(date);
            }
            continue;
        }
        if (!bOptionsEnded && arg == "--csv") {
            options.m_bCsv = true;
            continue;
        }
        if (!bOptionsEnded && (arg == "--help" || arg == "-h")) {
            options.m_bHelp = true;
            continue;
        }
        if (!bOptionsEnded && arg == "--monitor") {
            options.m_bMonitor = true;
            continue;
        }
        if (!bOptionsEnded && arg == "--version") {
            options.m_bVersion = true;
            continue;
        }
        // A lone "-" is a file name like any other: the program reads no standard input.
        if (!bOptionsEnded && arg.size() > 1 && arg.front() == '-') {
            strError = "unknown option '" + std::string(arg) + "'";
            return std::nullopt;
        }
        if (options.m_strFile) {
            strError = "one file at a time";
            return std::nullopt;
        }
        options.m_strFile = std::string(arg);
    }
    if (bCuesFileNext) {
        strError = "--cues needs a file";
        return std::nullopt;
    }
    // Each answer is the whole run: combined with anything else, one would go unheeded.
    const int answers = options.m_bListPorts + options.m_bHelp + options.m_bVersion +
                        options.m_bRemoteToken + options.m_bAsRun;
    if (answers > 1 ||
        (answers == 1 && (options.m_strFile || options.m_bMonitor || options.m_strCuesFile))) {
        strError = "--list-ports, --remote-token, --as-run, --help and --version each stand alone";
        return std::nullopt;
    }
    if (options.m_bCsv && !options.m_bAsRun) {
        strError = "--csv goes with --as-run";
        return std::nullopt;
    }
    return options;
}

std::string CommandLineUsage() {
    return "usage: tessora [--monitor] [--cues LIST] [FILE] | --list-ports | --remote-token | "
           "--as-run [DATE] [--csv] | --help | --version";
}

std::string CommandLineHelp() {
    return CommandLineUsage() +
           "\n"
           "  FILE          a screen set (.tso) to open once the window is up\n"
           "  --monitor     open the unit monitor (F2) with the window\n"
           "  --cues LIST   open a cue list (CSV) and its window (F3) with the window\n"
           "  --list-ports  the serial devices here: stable path, kernel name, description,\n"
           "                and whether you may open them; map one in the settings' [Ports]\n"
           "  --remote-token  the remote control's token, made and kept in the settings\n"
           "                if they hold none\n"
           "  --as-run [DATE]  the as-run log of that day (YYYY-MM-DD; today by default) as\n"
           "                a table: every write to the unit, where from, and its text\n"
           "  --csv         with --as-run: as CSV, every field, with a header row\n"
           "  --help        this text\n"
           "  --version     the program's version\n";
}
