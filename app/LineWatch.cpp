#include "LineWatch.h"

#include <cstdio>
#include <utility>

#include "Charset.h"
#include "Cp1252.h"
#include "DHtmlDialog.h"

namespace {

constexpr char kLineLost[] = "Line lost: ";
constexpr char kLineBack[] = "Line back: ";
constexpr char kLineNotOpen[] = "Not connected: ";
constexpr int kLineBackTicks = 3;

void Announce(const char* what, const std::string& device) {
    std::fprintf(stderr, "tessora: line %s: %s\n", what, device.c_str());
    CDHtmlDialog::AnnounceToDrivers(
        QStringLiteral("line %1 %2").arg(QLatin1String(what), QString::fromStdString(device)));
}

// A device path comes from the system and the settings in UTF-8 (a network line's host
// name may be any name); the message line and the monitor are Windows-1252.
std::string Shown(const std::string& device) {
    return ToAnsi(QString::fromStdString(device));
}

}  // namespace

bool CLineWatch::NoticeLost() {
    if (!m_bLost && m_port->State() == CPort::LineState::Lost) {
        m_bLost = true;
        Announce("lost", m_port->DevicePath());
    }
    return m_bLost;
}

void CLineWatch::Watch() {
    if (!m_port) return;
    if (!NoticeLost()) {
        if (m_backTicks > 0 && --m_backTicks == 0 && m_notice == m_backText) m_notice.clear();
        Refresh();
        return;
    }
    // The device opens without waiting on anything: a replugged adapter is back at once.
    // Open gives a lost line its device again, and a closed one its name.
    if (m_port->State() != CPort::LineState::Live && m_port->Open() != 0) {
        Refresh();
        return;
    }
    const std::string& device = m_port->DevicePath();
    m_bLost = false;
    Announce("back", device);
    ShowNotice(kLineBack + Shown(device));
    m_backText = m_notice;
    m_backTicks = kLineBackTicks;
    // The unit still shows what it had: only a port it was never greeted on is greeted.
    if (std::exchange(m_bGreetWhenBack, false)) m_greet();
}

void CLineWatch::Resume(bool greetWhenBack) {
    m_bGreetWhenBack = greetWhenBack;
    // A lost line chosen again in Setup and not found there is closed, but still the line
    // that was lost.
    NoticeLost();
    m_bLost = true;
    Watch();
}

void CLineWatch::ShowNotice(const std::string& text) {
    m_notice = text;
    m_backText.clear();
    Refresh();
}

void CLineWatch::SetSendText(const std::string& text) {
    m_sendText = text;
    Refresh();
}

void CLineWatch::Refresh() {
    // Read afresh each time: a line that went down since says so at once, and "back" never
    // stands over a line that is down again.
    std::string shown = Text();
    if (shown.empty()) shown = m_sendText;
    if (shown.empty()) shown = m_notice;
    if (shown.empty()) shown = m_standing();
    if (m_message == shown) return;
    m_message = std::move(shown);
    m_show();
}

std::string CLineWatch::Text() const {
    if (!m_port) return {};
    switch (m_port->State()) {
        case CPort::LineState::Live:
            return {};
        case CPort::LineState::Lost:
            return kLineLost + Shown(m_port->DevicePath());
        case CPort::LineState::Closed:
            if (m_bLost) return kLineLost + Shown(m_port->DevicePath());
            break;
    }
    std::u16string name;
    m_port->GetPortName(&name);
    return kLineNotOpen + Cp1252FromUtf16(name);
}
