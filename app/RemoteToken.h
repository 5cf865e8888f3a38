#pragma once

#include <string>

// The remote control's token from the settings. When they hold none, a new one is made and
// kept there first, and made says so. Empty when the system gave no random bytes or the
// settings file could not keep it (one not read as written is left as it is).
std::string RemoteToken(bool& made);
