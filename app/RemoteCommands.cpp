#include "RemoteCommands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "Charset.h"
#include "DHtmlDialog.h"
#include "RemoteToken.h"
#include "SettingsStore.h"

namespace {

constexpr std::size_t kMaxSettingBytes = 4096;
constexpr int kHighestPort = 65535;

// reason is UTF-8. The operator at the window hears of it too: the message line is
// Windows-1252.
void SayOff(CaptionCommands& session, const std::string& reason) {
    std::fprintf(stderr, "tessora: remote control off: %s\n", reason.c_str());
    session.ShowNotice(AnsiFromUtf8("Remote control off: " + reason));
}

}  // namespace

CRemoteControl::~CRemoteControl() = default;

std::unique_ptr<CRemoteControl> CRemoteControl::FromSettings(CaptionCommands& session) {
    SettingsStore store;
    const std::optional<std::int32_t> port = store.ReadInt32("Remote/Port");
    if (!port) {
        const std::optional<std::string> text = store.ReadText("Remote/Port", kMaxSettingBytes);
        if (text && !text->empty())
            SayOff(session, "Remote/Port is no number: " + FromAnsi(*text).toStdString());
        return nullptr;
    }
    if (*port == 0) return nullptr;
    if (*port < 0 || *port > kHighestPort) {
        SayOff(session, "Remote/Port " + std::to_string(*port) + " is not from 1 to 65535");
        return nullptr;
    }
    remote::AccessRules rules;
    rules.port = static_cast<std::uint16_t>(*port);
    // The store's texts are Windows-1252; a header arrives as UTF-8.
    const auto setting = [&store](const char* name) {
        return FromAnsi(store.ReadText(name, kMaxSettingBytes).value_or(""))
            .trimmed()
            .toStdString();
    };
    bool madeToken = false;
    rules.token = RemoteToken(madeToken);
    if (rules.token.empty()) {
        SayOff(session, "no token could be made for it");
        return nullptr;
    }
    // A view token the same as the full one would be no view token at all.
    rules.viewToken = setting("Remote/ViewToken");
    if (rules.viewToken == rules.token) {
        if (!rules.viewToken.empty())
            std::fprintf(stderr, "tessora: Remote/ViewToken left out: it is the full token\n");
        rules.viewToken.clear();
    }
    for (const std::string& name : store.ReadList("Remote/Hosts"))
        rules.hosts.push_back(QString::fromStdString(name).toLower().toStdString());
    std::vector<std::string> dropped;
    rules.origins = remote::UsableOrigins(store.ReadList("Remote/Origins"), dropped);
    for (const std::string& origin : dropped)
        std::fprintf(stderr,
                     "tessora: Remote/Origins: \"%s\" left out: sandboxed frames, data: and "
                     "file: pages all send it, so it names no page\n",
                     origin.c_str());
    const std::string address = setting("Remote/Address");

    auto control = std::make_unique<CRemoteControl>(session);
    std::string error;
    control->m_server = remote::RemoteServer::Listen(control->m_control, rules, address, error);
    if (!control->m_server) {
        SayOff(session, "cannot listen on " + error);
        return nullptr;
    }
    if (madeToken)
        std::fprintf(stderr,
                     "tessora: remote control on port %d (%s); its token is the setting "
                     "Remote/Token in %s, and tessora --remote-token prints it\n",
                     *port, address.empty() ? "this machine only" : address.c_str(),
                     SettingsStore::FileName().c_str());
    CDHtmlDialog::AnnounceToDrivers(QStringLiteral("remote listening %1").arg(*port));
    return control;
}
