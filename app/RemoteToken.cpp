#include "RemoteToken.h"

#include "Charset.h"
#include "SettingsStore.h"
#include "Token.h"

namespace {
// A setting longer than this is no token the program made or a person typed.
constexpr std::size_t kMaxTokenBytes = 4096;
}  // namespace

std::string RemoteToken(bool& made) {
    SettingsStore store;
    made = false;
    std::string token = FromAnsi(store.ReadText("Remote/Token", kMaxTokenBytes).value_or(""))
                            .trimmed()
                            .toStdString();
    if (!token.empty()) return token;
    // Kept in the settings at once, so that a panel can be given it while the program runs.
    token = remote::NewToken();
    if (token.empty()) return {};
    store.WriteText("Remote/Token", token);
    // A settings file not read as written is left as it is: a token it does not keep would
    // be one no panel could be given.
    if (store.ReadText("Remote/Token", kMaxTokenBytes) != token) return {};
    made = true;
    return token;
}
