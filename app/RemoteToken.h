#pragma once

#include <string>

// The remote control's token from the settings. When they hold none, a new one is made and
// kept there first, and made says so. Empty only when the system gave no random bytes.
std::string RemoteToken(bool& made);
