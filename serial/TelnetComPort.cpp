#include "TelnetComPort.h"

#include <cstdint>

namespace {

constexpr unsigned char kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                        kSe = 240;
constexpr unsigned char kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
// The client's settings commands; the server answers each with the same code plus 100.
constexpr unsigned char kSetBaud = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                        kSetControl = 5, kServerOffset = 100;
constexpr unsigned char kNoFlowControl = 1;
constexpr std::string_view kParities = "NOEMS";  // codes 1 to 5
// A subnegotiation longer than any the client understands is cut, not kept growing.
constexpr std::size_t kMaxSub = 16;

bool MineSupported(unsigned char option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}
bool TheirsSupported(unsigned char option) {
    return option == kBinary || option == kSuppressGoAhead;
}

std::string Command(unsigned char verb, unsigned char option) {
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

// One COM port subnegotiation; a value byte equal to IAC is doubled.
std::string Sub(unsigned char code, std::basic_string_view<unsigned char> value) {
    std::string sub{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kComPort),
                    static_cast<char>(code)};
    for (const unsigned char b : value) {
        sub.push_back(static_cast<char>(b));
        if (b == kIac) sub.push_back(static_cast<char>(kIac));
    }
    return sub + std::string{static_cast<char>(kIac), static_cast<char>(kSe)};
}

std::string StopBitsName(int code) {
    return code == 3 ? "1.5" : std::to_string(code);
}

}  // namespace

TelnetComPort::TelnetComPort(const LineSettings& wanted) : m_wanted(wanted) {}

std::string TelnetComPort::Opening() {
    std::string opening;
    for (const unsigned char option : {kComPort, kBinary, kSuppressGoAhead}) {
        m_mine[option] = Option::Asked;
        opening += Command(kWill, option);
    }
    for (const unsigned char option : {kBinary, kSuppressGoAhead}) {
        m_theirs[option] = Option::Asked;
        opening += Command(kDo, option);
    }
    return opening;
}

std::string TelnetComPort::Settings() const {
    const std::uint32_t baud = m_wanted.baud;
    const unsigned char baudBytes[] = {
        static_cast<unsigned char>(baud >> 24), static_cast<unsigned char>(baud >> 16),
        static_cast<unsigned char>(baud >> 8), static_cast<unsigned char>(baud)};
    const auto one = [](int value) {
        return std::basic_string<unsigned char>(1, static_cast<unsigned char>(value));
    };
    const int parity = static_cast<int>(kParities.find(m_wanted.parity)) + 1;
    return Sub(kSetBaud, {baudBytes, 4}) + Sub(kSetDataSize, one(m_wanted.dataBits)) +
           Sub(kSetParity, one(parity)) + Sub(kSetStopSize, one(m_wanted.stopBits)) +
           Sub(kSetControl, one(kNoFlowControl));
}

std::string_view TelnetComPort::Encode(const unsigned char& byte) {
    static constexpr char kEscaped[] = {static_cast<char>(kIac), static_cast<char>(kIac)};
    return byte == kIac ? std::string_view(kEscaped, 2)
                        : std::string_view(reinterpret_cast<const char*>(&byte), 1);
}

std::string TelnetComPort::Take(std::string_view bytes) {
    std::string answers;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (m_parse) {
            case Parse::Data:
                if (b == kIac) m_parse = Parse::Command;
                break;
            case Parse::Command:
                if (b >= kWill && b <= kDont) {
                    m_verb = b;
                    m_parse = Parse::Verb;
                } else if (b == kSb) {
                    m_sub.clear();
                    m_parse = Parse::Sub;
                } else {
                    m_parse = Parse::Data;  // an escaped data byte, or a command with no option
                }
                break;
            case Parse::Verb:
                if (!Flooding() && ++m_negotiations <= kMaxNegotiations) {
                    answers += Negotiate(m_verb, b);
                }
                m_parse = Parse::Data;
                break;
            case Parse::Sub:
                if (b == kIac) {
                    m_parse = Parse::SubCommand;
                } else if (m_sub.size() < kMaxSub) {
                    m_sub.push_back(c);
                }
                break;
            case Parse::SubCommand:
                if (b == kIac) {
                    if (m_sub.size() < kMaxSub) m_sub.push_back(c);
                    m_parse = Parse::Sub;
                } else {
                    TakeSubnegotiation();  // SE, or a server that ended it some other way
                    m_parse = Parse::Data;
                }
                break;
        }
    }
    return answers;
}

std::string TelnetComPort::Negotiate(unsigned char verb, unsigned char option) {
    const bool mine = verb == kDo || verb == kDont;
    const bool enable = verb == kDo || verb == kWill;
    Option& state = mine ? m_mine[option] : m_theirs[option];
    const bool supported = mine ? MineSupported(option) : TheirsSupported(option);
    // Only a change of state is answered, so that neither side keeps answering the other's
    // answers, and a request repeated is not answered again.
    const unsigned char agree = mine ? kWill : kDo;
    const unsigned char refuse = mine ? kWont : kDont;
    if (enable) {
        if (state == Option::Yes || state == Option::Refused) return {};
        const bool asked = state == Option::Asked;
        if (!asked && !supported) {
            state = Option::Refused;
            return Command(refuse, option);
        }
        state = Option::Yes;
        std::string answer = asked ? std::string() : Command(agree, option);
        // The settings may go out only once the server has taken the option.
        if (mine && option == kComPort) {
            m_report.refused = false;
            answer += Settings();
        }
        return answer;
    }
    if (state == Option::No || state == Option::Refused) return {};
    const bool wasOn = state == Option::Yes;
    state = Option::No;
    if (mine && option == kComPort) m_report.refused = true;
    return wasOn ? Command(refuse, option) : std::string();
}

void TelnetComPort::TakeSubnegotiation() {
    if (m_sub.size() < 3 || static_cast<unsigned char>(m_sub[0]) != kComPort) return;
    const auto code = static_cast<unsigned char>(m_sub[1]);
    const auto value = [&](std::size_t i) { return static_cast<unsigned char>(m_sub[2 + i]); };
    const std::size_t length = m_sub.size() - 2;
    switch (code) {
        case kServerOffset + kSetBaud:
            if (length >= 4) {
                m_report.baud = (static_cast<unsigned>(value(0)) << 24) |
                                (static_cast<unsigned>(value(1)) << 16) |
                                (static_cast<unsigned>(value(2)) << 8) | value(3);
            }
            break;
        case kServerOffset + kSetDataSize:
            m_report.dataBits = value(0);
            break;
        case kServerOffset + kSetParity:
            m_report.parity =
                value(0) >= 1 && value(0) <= kParities.size() ? kParities[value(0) - 1] : '?';
            break;
        case kServerOffset + kSetStopSize:
            m_report.stopBits = value(0);
            break;
        case kServerOffset + kSetControl:
            m_report.control = value(0);
            break;
        default:
            break;  // notices of the line and modem state: nothing for a one-way line
    }
}

bool TelnetComPort::Settled() const {
    return m_report.refused ||
           (m_report.baud != 0 && m_report.dataBits != 0 && m_report.parity != 0 &&
            m_report.stopBits != 0 && m_report.control != 0);
}

std::string TelnetComPort::Refusals() const {
    if (!Settled()) return {};
    if (m_report.refused) return "the COM port option";
    std::string refused;
    const auto note = [&refused](const std::string& wanted, const std::string& has) {
        refused += (refused.empty() ? "" : ", ") + wanted + " (it has " + has + ")";
    };
    if (m_report.baud != m_wanted.baud) {
        note(std::to_string(m_wanted.baud) + " baud", std::to_string(m_report.baud));
    }
    if (m_report.dataBits != m_wanted.dataBits) {
        note(std::to_string(m_wanted.dataBits) + " data bits", std::to_string(m_report.dataBits));
    }
    if (m_report.parity != m_wanted.parity) {
        note(std::string("parity ") + m_wanted.parity, std::string(1, m_report.parity));
    }
    if (m_report.stopBits != m_wanted.stopBits) {
        note(std::to_string(m_wanted.stopBits) + " stop bits", StopBitsName(m_report.stopBits));
    }
    if (m_report.control != kNoFlowControl) {
        note("no flow control", "code " + std::to_string(m_report.control));
    }
    return refused;
}
