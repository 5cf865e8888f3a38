#include "LineSettings.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

constexpr std::array<std::pair<unsigned, speed_t>, 12> kSpeeds{{
    {110, B110},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
}};

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && s.front() == u' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == u' ') {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<unsigned> ParseDecimal(std::u16string_view s) {
    if (s.empty() || s.size() > 9) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char16_t c : s) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - u'0');
    }
    return value;
}

std::vector<std::u16string_view> SplitFields(std::u16string_view mode) {
    std::vector<std::u16string_view> fields;
    for (;;) {
        const std::size_t comma = mode.find(u',');
        fields.push_back(Trim(mode.substr(0, comma)));
        if (comma == std::u16string_view::npos) {
            return fields;
        }
        mode.remove_prefix(comma + 1);
    }
}

tcflag_t DataBitsFlag(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

tcflag_t ParityFlags(char parity) {
    switch (parity) {
        case 'E':
            return PARENB;
        case 'O':
            return PARENB | PARODD;
        case 'M':
            return PARENB | PARODD | CMSPAR;
        case 'S':
            return PARENB | CMSPAR;
        default:
            return 0;
    }
}

}  // namespace

std::optional<LineSettings> ParseModeString(std::u16string_view mode) {
    const std::vector<std::u16string_view> fields = SplitFields(mode);
    if (fields.size() != 4) {
        return std::nullopt;
    }
    LineSettings settings;

    const std::optional<unsigned> baud = ParseDecimal(fields[0]);
    if (!baud) {
        return std::nullopt;
    }
    const auto known = std::find_if(kSpeeds.begin(), kSpeeds.end(),
                                    [&](const auto& entry) { return entry.first == *baud; });
    if (known == kSpeeds.end()) {
        return std::nullopt;
    }
    settings.baud = known->first;
    settings.speed = known->second;

    if (fields[1].size() != 1) {
        return std::nullopt;
    }
    char16_t letter = fields[1][0];
    if (letter >= u'a' && letter <= u'z') {
        letter -= u'a' - u'A';
    }
    if (std::u16string_view(u"NEOMS").find(letter) == std::u16string_view::npos) {
        return std::nullopt;
    }
    settings.parity = static_cast<char>(letter);

    const std::optional<unsigned> data = ParseDecimal(fields[2]);
    if (!data || *data < 5 || *data > 8) {
        return std::nullopt;
    }
    settings.dataBits = static_cast<int>(*data);

    // 1.5 stop bits has no termios equivalent, so it is refused rather than approximated.
    const std::optional<unsigned> stop = ParseDecimal(fields[3]);
    if (!stop || (*stop != 1 && *stop != 2)) {
        return std::nullopt;
    }
    settings.stopBits = static_cast<int>(*stop);
    return settings;
}

void ApplyLineSettings(const LineSettings& settings, termios* tio) {
    cfmakeraw(tio);
    // cfmakeraw leaves the modem, receiver, stop-bit and flow-control flags alone.
    tio->c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio->c_cflag |= CLOCAL | CREAD | DataBitsFlag(settings.dataBits) | ParityFlags(settings.parity);
    if (settings.stopBits == 2) {
        tio->c_cflag |= CSTOPB;
    }
    tio->c_iflag &= ~(IXON | IXOFF | IXANY);
    tio->c_cc[VMIN] = 0;
    tio->c_cc[VTIME] = 0;
    cfsetispeed(tio, settings.speed);
    cfsetospeed(tio, settings.speed);
}

bool LineMatches(const LineSettings& settings, const termios& tio) {
    termios wanted = tio;
    ApplyLineSettings(settings, &wanted);
    constexpr tcflag_t kControl =
        CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD;
    constexpr tcflag_t kInput =
        IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | IGNBRK | BRKINT | PARMRK;
    constexpr tcflag_t kLocal = ICANON | ECHO | ECHONL | ISIG | IEXTEN;
    return cfgetispeed(&tio) == settings.speed && cfgetospeed(&tio) == settings.speed &&
           (tio.c_cflag & kControl) == (wanted.c_cflag & kControl) &&
           (tio.c_iflag & kInput) == (wanted.c_iflag & kInput) &&
           (tio.c_oflag & OPOST) == (wanted.c_oflag & OPOST) &&
           (tio.c_lflag & kLocal) == (wanted.c_lflag & kLocal) && tio.c_cc[VMIN] == 0 &&
           tio.c_cc[VTIME] == 0;
}
