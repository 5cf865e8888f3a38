#pragma once

#include <array>
#include <string>
#include <string_view>

#include "LineSettings.h"

// What a COM port server said it set the line to; a field not answered yet is 0.
struct ComPortReport {
    unsigned baud = 0;
    int dataBits = 0;
    char parity = 0;       // 'N', 'O', 'E', 'M' or 'S'
    int stopBits = 0;      // 1 or 2; 3 stands for one and a half
    int control = 0;       // the server's flow control code: 1 is none
    bool refused = false;  // the server will not take the COM port option at all
};

// The client's side of a Telnet session with the COM port option (RFC 2217): what it says
// first, how a data byte goes on the wire, and what it answers to the server. The settings go
// out once the server has taken the option. Data from the server is dropped, as the port
// drops whatever the unit sends.
class TelnetComPort {
public:
    explicit TelnetComPort(const LineSettings& wanted);

    // Offers the COM port option and binary transmission both ways, without go-aheads.
    std::string Opening();
    // One data byte as it goes on the wire: the Telnet escape byte is doubled. The view may
    // point at byte itself, so byte must outlive it.
    static std::string_view Encode(const unsigned char& byte);
    // Takes bytes from the server and gives the answers they call for: an option is answered
    // only when its state changes, and one this side does not do is refused once, so the
    // answers never outgrow what the server says.
    std::string Take(std::string_view bytes);
    // The server has negotiated more than any real one does: it floods, and is answered no
    // more.
    bool Flooding() const { return m_negotiations > kMaxNegotiations; }

    // The server has answered every setting, or refused the option.
    bool Settled() const;
    const ComPortReport& Report() const { return m_report; }
    // The settings the server did not take, each with what it has instead ("" for none),
    // once it has settled.
    std::string Refusals() const;

    // More WILL, WONT, DO and DONT than a server says in a whole session.
    static constexpr unsigned kMaxNegotiations = 256;

private:
    // Refused: off, and the server has been told so; asking again changes nothing.
    enum class Option { No, Asked, Yes, Refused };
    enum class Parse { Data, Command, Verb, Sub, SubCommand };

    std::string Settings() const;
    // One side's answer to a WILL, WONT, DO or DONT from the server.
    std::string Negotiate(unsigned char verb, unsigned char option);
    void TakeSubnegotiation();

    LineSettings m_wanted;
    std::array<Option, 256> m_mine{};    // options this side performs
    std::array<Option, 256> m_theirs{};  // options the server performs
    Parse m_parse = Parse::Data;
    unsigned char m_verb = 0;
    std::string m_sub;
    ComPortReport m_report;
    unsigned m_negotiations = 0;
};
