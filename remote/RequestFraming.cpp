#include "RequestFraming.h"

#include <algorithm>
#include <utility>

#include "RemoteApi.h"

namespace remote {
namespace {

// No request line, header or chunk line of a real client comes near this.
constexpr std::size_t kMaxLineBytes = 16 * 1024;
// Digits past these would overflow the length or the chunk size.
constexpr std::size_t kMaxLengthDigits = 18;
constexpr std::size_t kMaxChunkDigits = 15;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A header line's name and value; false when it is no header line: a name with a space
// before its colon, or a value folded onto a line of its own.
bool SplitHeader(std::string_view line, std::string_view& name, std::string_view& value) {
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos) return false;
    name = line.substr(0, colon);
    if (!std::all_of(name.begin(), name.end(), IsTokenChar)) return false;
    value = Trimmed(line.substr(colon + 1));
    return true;
}

}  // namespace

bool RequestFraming::TakeLine(std::string_view& bytes, std::string& line) {
    const std::size_t end = bytes.find('\n');
    const std::string_view part = bytes.substr(0, end);
    if (line.size() + part.size() > kMaxLineBytes) {
        m_state = State::Malformed;
        return false;
    }
    line.append(part);
    if (end == std::string_view::npos) {
        bytes = {};
        return false;
    }
    bytes.remove_prefix(end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool RequestFraming::Feed(std::string_view bytes) {
    while (!bytes.empty() && m_state != State::Opaque && m_state != State::Malformed) {
        switch (m_state) {
            case State::Body:
            case State::ChunkData: {
                const std::uint64_t taken = std::min<std::uint64_t>(m_left, bytes.size());
                bytes.remove_prefix(static_cast<std::size_t>(taken));
                m_left -= taken;
                if (m_left == 0) m_state = m_state == State::Body ? State::Head : State::ChunkEnd;
                break;
            }
            default: {
                if (!TakeLine(bytes, m_line)) break;
                std::string line = std::move(m_line);
                m_line.clear();
                if (m_state == State::Head) {
                    // Empty lines before a request line are skipped, as parsers do.
                    if (line.empty() && m_head.empty()) break;
                    if (!line.empty()) {
                        m_head.push_back(std::move(line));
                        break;
                    }
                    if (!EndOfHead()) m_state = State::Malformed;
                    m_head.clear();
                } else if (m_state == State::ChunkSize) {
                    const std::string_view size =
                        Trimmed(std::string_view(line).substr(0, std::string_view(line).find(';')));
                    const std::string_view digits =
                        size.substr(std::min(size.find_first_not_of('0'), size.size()));
                    if (size.empty() || digits.size() > kMaxChunkDigits ||
                        !std::all_of(size.begin(), size.end(),
                                     [](char c) { return HexValue(c) >= 0; })) {
                        m_state = State::Malformed;
                        break;
                    }
                    m_left = 0;
                    for (char c : digits)
                        m_left = m_left * 16 + static_cast<std::uint64_t>(HexValue(c));
                    m_state = m_left == 0 ? State::Trailers : State::ChunkData;
                } else if (m_state == State::ChunkEnd) {
                    m_state = line.empty() ? State::ChunkSize : State::Malformed;
                } else if (m_state == State::Trailers && line.empty()) {
                    m_state = State::Head;
                }
                break;
            }
        }
    }
    return m_state != State::Malformed;
}

bool RequestFraming::EndOfHead() {
    const std::string_view requestLine = m_head.front();
    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t lastSpace = requestLine.rfind(' ');
    if (firstSpace == std::string_view::npos || firstSpace == lastSpace) return false;
    const std::string_view target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    if (target.empty() || target.find(' ') != std::string_view::npos) return false;

    int lengths = 0;
    int codings = 0;
    bool chunked = false;
    bool upgrade = false;
    std::uint64_t length = 0;
    for (std::size_t i = 1; i < m_head.size(); ++i) {
        std::string_view name;
        std::string_view value;
        if (!SplitHeader(m_head[i], name, value)) return false;
        if (SameName(name, "Content-Length")) {
            ++lengths;
            if (value.empty() || value.size() > kMaxLengthDigits ||
                !std::all_of(value.begin(), value.end(),
                             [](char c) { return c >= '0' && c <= '9'; }))
                return false;
            length = 0;
            for (char c : value) length = length * 10 + static_cast<std::uint64_t>(c - '0');
        } else if (SameName(name, "Transfer-Encoding")) {
            ++codings;
            chunked = SameName(value, "chunked");
        } else if (SameName(name, "Upgrade")) {
            upgrade = true;
        }
    }
    if (lengths > 1 || codings > 1 || (lengths && codings) || (codings && !chunked)) return false;
    m_targets.emplace_back(target);
    if (upgrade) {
        // What follows is another protocol's, or nothing: Qt answers a refused upgrade and
        // closes the connection.
        m_state = State::Opaque;
    } else if (chunked) {
        m_state = State::ChunkSize;
    } else {
        m_left = length;
        m_state = length ? State::Body : State::Head;
    }
    return true;
}

std::vector<std::string> RequestFraming::TakeTargets() {
    return std::exchange(m_targets, {});
}

bool HeadShowsToken(std::string_view head, std::string_view token) {
    while (!head.empty()) {
        const std::size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        head = end == std::string_view::npos ? std::string_view() : head.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;
        std::string_view name;
        std::string_view value;
        if (SplitHeader(line, name, value) && SameName(name, "Authorization") &&
            Authorized(token, value))
            return true;
    }
    return false;
}

}  // namespace remote
