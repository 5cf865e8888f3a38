#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace remote {

// Follows the requests on one connection as bytes come, as far as where each request ends,
// so that one whose framing is malformed or ambiguous is refused before anything of it runs:
// two Content-Lengths, one that is no plain number or overflows, a Content-Length with a
// Transfer-Encoding, a coding other than chunked, a chunk size that is no plain hex number.
// HTTP parsers disagree on such requests; a command must never run on a body read one way
// when the client meant another.
class RequestFraming {
public:
    // Reads the next bytes of the connection. False once a request's framing is malformed,
    // and from then on.
    bool Feed(std::string_view bytes);
    // The targets of the requests whose heads were read whole since the last call.
    std::vector<std::string> TakeTargets();

private:
    enum class State { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailers, Opaque, Malformed };

    bool EndOfHead();
    // Reads one line of the head, the chunk framing or the trailers; false while it is not
    // whole, and sets the state to Malformed when a line grows past any real one.
    bool TakeLine(std::string_view& bytes, std::string& line);

    State m_state = State::Head;
    std::string m_line;
    std::vector<std::string> m_head;
    std::uint64_t m_left = 0;
    std::vector<std::string> m_targets;
};

// Whether a request's head carries the token in its Authorization header.
bool HeadShowsToken(std::string_view head, std::string_view token);

}  // namespace remote
