#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// OSC 1.0 packets as the listener takes them and the feedback writes them. Plain C++ over
// liblo's encoding; no socket here.
namespace osc {

struct Argument {
    // The OSC type tag: 'i', 'f', 's', or another that no command takes.
    char type = 'i';
    std::int64_t integer = 0;
    double real = 0;
    std::string text;
};

struct Message {
    std::string address;
    std::vector<Argument> arguments;
};

// The largest packet taken; a UDP datagram may carry more, which is refused whole.
inline constexpr std::size_t kMaxPacketBytes = 8192;

// The messages of a packet in the order they are to run: a message alone, or a bundle's
// elements depth first (the time tag is not waited for: a cue runs when it comes). False,
// and nothing added, when any part of it is malformed, too deep or too large.
bool DecodePacket(const char* data, std::size_t size, std::vector<Message>& messages);

// The message as a packet for the wire; arguments of type 'i', 'f' and 's' only.
std::string EncodeMessage(const Message& message);

Argument Int(std::int32_t value);
Argument Text(std::string value);

}  // namespace osc
