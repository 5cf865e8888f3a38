#include "UnitOptions.h"

#include <string_view>

std::optional<CUnitOptions> ParseUnitOptions(std::span<const char* const> args,
                                             std::string& strError) {
    CUnitOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        std::string* pValue = nullptr;
        if (arg == "--quiet") {
            options.m_bQuiet = true;
        } else if (arg == "--help" || arg == "-h") {
            options.m_bHelp = true;
        } else if (arg == "--device") {
            pValue = &options.m_strDevice;
        } else if (arg == "--dump") {
            pValue = &options.m_strDump;
        } else if (arg == "--log") {
            pValue = &options.m_strLog;
        } else {
            strError = "unknown argument '" + std::string(arg) + "'";
            return std::nullopt;
        }
        if (pValue == nullptr) {
            continue;
        }
        if (i + 1 == args.size() || std::string_view(args[i + 1]).empty()) {
            strError = std::string(arg) + " needs a path";
            return std::nullopt;
        }
        *pValue = args[++i];
    }
    return options;
}

std::string UnitUsage() {
    return "usage: tessora-unit [--device PATH] [--quiet] [--dump FILE] [--log FILE]\n"
           "  Stands in for the caption unit. Prints the device to connect to on the\n"
           "  first line, then shows the 52x19 display until interrupted.\n"
           "  --device PATH  listen on this serial device instead of a new pseudo-terminal\n"
           "  --quiet        no live display\n"
           "  --dump FILE    keep FILE holding the display: 19 lines of 52 characters\n"
           "  --log FILE     append \"<ms since start> <byte in hex>\" per byte received\n";
}
