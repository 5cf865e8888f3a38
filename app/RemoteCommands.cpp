#include "RemoteCommands.h"

#include <cstdio>
#include <string>

#include "Charset.h"
#include "DisplayText.h"
#include "LineEnds.h"
#include "Messages.h"
#include "RemoteToken.h"
#include "SettingsStore.h"
#include "TessoraDlg.h"

namespace {

constexpr std::size_t kMaxTokenBytes = 4096;
constexpr int kHighestPort = 65535;

std::vector<std::string> Rows(const CCaptionDisplay& display) {
    std::vector<std::string> rows;
    for (int row = 0; row < CCaptionDisplay::kRows; ++row) rows.push_back(RowText(display, row));
    return rows;
}

void SayOff(const std::string& reason) {
    std::fprintf(stderr, "tessora: remote control off: %s\n", reason.c_str());
}

}  // namespace

CRemoteControl::~CRemoteControl() = default;

std::unique_ptr<CRemoteControl> CRemoteControl::FromSettings(CTessoraDlg& dlg) {
    SettingsStore store;
    const std::optional<std::int32_t> port = store.ReadInt32("Remote/Port");
    if (!port) {
        const std::optional<std::string> text = store.ReadText("Remote/Port", kMaxTokenBytes);
        if (text && !text->empty()) SayOff("Remote/Port is no number: " + *text);
        return nullptr;
    }
    if (*port == 0) return nullptr;
    if (*port < 0 || *port > kHighestPort) {
        SayOff("Remote/Port " + std::to_string(*port) + " is not from 1 to 65535");
        return nullptr;
    }
    remote::AccessRules rules;
    rules.port = static_cast<std::uint16_t>(*port);
    // The store's texts are Windows-1252; a header arrives as UTF-8.
    const auto setting = [&store](const char* name) {
        return FromAnsi(store.ReadText(name, kMaxTokenBytes).value_or("")).trimmed().toStdString();
    };
    bool madeToken = false;
    rules.token = RemoteToken(madeToken);
    if (rules.token.empty()) {
        SayOff("no token could be made for it");
        return nullptr;
    }
    for (const std::string& name : store.ReadList("Remote/Hosts"))
        rules.hosts.push_back(QString::fromStdString(name).toLower().toStdString());
    rules.origins = store.ReadList("Remote/Origins");
    const std::string address = setting("Remote/Address");

    auto control = std::make_unique<CRemoteControl>(dlg);
    std::string error;
    control->m_server = remote::RemoteServer::Listen(*control, rules, address, error);
    if (!control->m_server) {
        SayOff("cannot listen on " + error);
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

bool CRemoteControl::Busy() const {
    // The file dialog, a message box and Setup each run a nested loop; so does the close's
    // save prompt, after which the port is gone.
    return m_dlg.IsUnderModal() || !m_dlg.m_pPort;
}

void CRemoteControl::Run(const remote::Request& request) {
    // Screens are 2 to 5 in the window's messages, as the page's tabs post them.
    const WPARAM screen = static_cast<WPARAM>(request.screen + 1);
    switch (request.action) {
        case remote::Action::Status:
            break;
        case remote::Action::SelectScreen:
            m_dlg.SendMessage(UWM_SELECT_SCREEN, screen);
            break;
        case remote::Action::Send:
            if (request.screen != 0) m_dlg.SendMessage(UWM_SELECT_SCREEN, screen);
            m_dlg.SendMessage(UWM_SEND);
            break;
        case remote::Action::Clear:
            m_dlg.SendMessage(UWM_CLEAR);
            break;
        case remote::Action::PutScreen:
            PutScreen(request.screen, request.edit);
            break;
    }
    // A change that did not come from the page raises no page event for the monitor.
    m_dlg.MonitorNeedsRefresh(true);
}

void CRemoteControl::PutScreen(int screen, const remote::ScreenEdit& edit) {
    // What the operator typed last is taken first, so it is not written over unseen.
    m_dlg.UpdateData(true);
    const int index = screen - 1;
    CTessoraFile& doc = m_dlg.m_doc;
    bool changed = false;
    bool cornerChanged = false;
    if (edit.text) {
        // As if typed into the text box: Windows-1252, and new lines end as the text's do.
        const std::string boxed = BoxLineEnds(ToAnsi(QString::fromStdString(*edit.text)));
        std::string text = KeepLineEnds(doc.Text(index), boxed);
        if (text != doc.Text(index)) {
            doc.Text(index) = std::move(text);
            changed = true;
        }
    }
    for (auto [value, field] : {std::pair{edit.date, &doc.DateCorner(index)},
                                std::pair{edit.time, &doc.TimeCorner(index)}}) {
        if (value && *value != *field) {
            *field = *value;
            changed = cornerChanged = true;
        }
    }
    if (!changed) return;
    m_dlg.m_bDirty = true;
    const bool current = m_dlg.m_nScreen == screen + 1;
    m_dlg.UpdateData(false);
    // The page's corner lists resend the current screen when they change; so does this.
    if (current && cornerChanged) m_dlg.SendMessage(UWM_STAMP_CHANGED);
}

remote::Status CRemoteControl::CurrentStatus() {
    remote::Status status;
    CTessoraDlg& dlg = m_dlg;
    if (dlg.m_pPort) {
        std::u16string name;
        dlg.m_pPort->GetPortName(&name);
        status.port = QString::fromStdU16String(name).toStdString();
        status.device = dlg.m_pPort->DevicePath();
        status.connected = dlg.m_pPort->State() == CPort::LineState::Live;
    }
    status.screen = dlg.m_nScreen - 1;
    status.title = dlg.windowTitle().toStdString();
    status.message = FromAnsi(dlg.m_strMessage).toStdString();

    // The page is read as Send reads it, into copies: a look leaves every field alone.
    CDataExchange read{true};
    std::string dirty = dlg.m_bDirty ? "dirty" : "";
    dlg.DDX_DHtml_ElementText(&read, QStringLiteral("divDirty"), DISPID_IHTMLELEMENT_INNERTEXT,
                              dirty);
    status.modified = !dirty.empty();
    for (int index = 0; index < CTessoraFile::kScreenCount; ++index) {
        std::string text = dlg.m_doc.Text(index);
        std::int32_t date = dlg.m_doc.DateCorner(index);
        std::int32_t time = dlg.m_doc.TimeCorner(index);
        if (index + 2 == dlg.m_nScreen) dlg.PeekCurrentScreen(text, date, time);
        status.screens[static_cast<std::size_t>(index)] = {FromAnsi(text).toStdString(), date,
                                                           time};
    }
    status.next = Rows(dlg.PreviewNextSend().display);
    dlg.FoldSentBytes();
    status.unit = Rows(dlg.UnitDisplay());
    return status;
}
