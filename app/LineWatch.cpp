#include "LineWatch.h"

#include <cstdio>
#include <utility>

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
        if (m_backTicks > 0 && --m_backTicks == 0) ShowMessage("");
        return;
    }
    // The device opens without waiting on anything: a replugged adapter is back at once.
    // Open gives a lost line its device again, and a closed one its name.
    if (m_port->State() != CPort::LineState::Live && m_port->Open() != 0) {
        ShowMessage(kLineLost + m_port->DevicePath());
        return;
    }
    const std::string& device = m_port->DevicePath();
    m_bLost = false;
    m_backTicks = kLineBackTicks;
    Announce("back", device);
    ShowMessage(kLineBack + device);
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

void CLineWatch::ShowMessage(const std::string& text) {
    m_lineText = text;
    // The line's state is more urgent than the standing text, which shows when it goes.
    const std::string shown = text.empty() ? m_standing() : text;
    // The too-long warning is the send's to set and clear; these texts only fill an empty
    // line or replace their own.
    if (!m_message.empty() && m_message != m_lineMessage) {
        m_lineMessage.clear();
        return;
    }
    m_lineMessage = shown;
    if (m_message == shown) return;
    m_message = shown;
    m_show();
}

std::string CLineWatch::Text() const {
    if (!m_port) return {};
    switch (m_port->State()) {
        case CPort::LineState::Live:
            return {};
        case CPort::LineState::Lost:
            return kLineLost + m_port->DevicePath();
        case CPort::LineState::Closed:
            if (m_bLost) return kLineLost + m_port->DevicePath();
            break;
    }
    std::u16string name;
    m_port->GetPortName(&name);
    return kLineNotOpen + Cp1252FromUtf16(name);
}
