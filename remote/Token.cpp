#include "Token.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace remote {

std::string NewToken() {
    std::array<std::uint8_t, 32> bits{};
    std::size_t filled = 0;
    while (filled < bits.size()) {
        const ssize_t got = getrandom(bits.data() + filled, bits.size() - filled, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return {};
        filled += static_cast<std::size_t>(got);
    }
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string token;
    std::uint32_t pending = 0;
    int pendingBits = 0;
    for (std::uint8_t byte : bits) {
        pending = (pending << 8) | byte;
        pendingBits += 8;
        while (pendingBits >= 6) {
            pendingBits -= 6;
            token += kAlphabet[(pending >> pendingBits) & 0x3F];
        }
    }
    if (pendingBits > 0) token += kAlphabet[(pending << (6 - pendingBits)) & 0x3F];
    return token;
}

}  // namespace remote
