#pragma once

#include <string>

namespace remote {

// A new token for the interface: 256 bits from the system's random source, as URL-safe
// base64 without padding (43 characters of A-Z, a-z, 0-9, '-' and '_'). Empty only when the
// system has no random source to give.
std::string NewToken();

}  // namespace remote
