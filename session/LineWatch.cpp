#include "LineWatch.h"

#include <cstdio>
#include <utility>

#include "Cp1252.h"

namespace {

constexpr char kLineLost[] = "Line lost: ";
constexpr char kLineBack[] = "Line back: ";
constexpr char kLineNotOpen[] = "Not connected: ";
constexpr int kLineBackTicks = 3;

}  // namespace

bool MessageLine::Set(MessageRank rank, std::string text) {
    m_texts[static_cast<std::size_t>(rank)] = std::move(text);
    const std::string* shown = &m_texts.back();
    for (const std::string& candidate : m_texts)
        if (!candidate.empty()) {
            shown = &candidate;
            break;
        }
    if (*shown == m_shown) return false;
    m_shown = *shown;
    return true;
}

bool CLineWatch::NoticeLost() {
    if (!m_bLost && m_port->State() == CPort::LineState::Lost) {
        m_bLost = true;
        std::fprintf(stderr, "tessora: line lost: %s\n", m_port->DevicePath().c_str());
        if (m_voice.announce) m_voice.announce("lost", m_port->DevicePath());
    }
    return m_bLost;
}

void CLineWatch::Watch() {
    if (!m_port) return;
    if (!NoticeLost()) {
        if (m_backTicks > 0 && --m_backTicks == 0 &&
            m_message.Get(MessageRank::Notice) == m_backText)
            m_message.Set(MessageRank::Notice, {});
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
    std::fprintf(stderr, "tessora: line back: %s\n", device.c_str());
    if (m_voice.announce) m_voice.announce("back", device);
    ShowPassingNotice(kLineBack + Shown(device));
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
    m_backText.clear();
    Put(MessageRank::Notice, text);
}

void CLineWatch::ShowPassingNotice(const std::string& text) {
    ShowNotice(text);
    m_backText = m_message.Get(MessageRank::Notice);
    m_backTicks = kLineBackTicks;
}

void CLineWatch::Put(MessageRank rank, std::string text) {
    bool changed = m_message.Set(rank, std::move(text));
    if (rank != MessageRank::Line) changed = m_message.Set(MessageRank::Line, Text()) || changed;
    if (changed && m_changed) m_changed();
}

std::string CLineWatch::Text() const {
    if (!m_port) return {};
    switch (m_port->State()) {
        case CPort::LineState::Live:
            return {};
        case CPort::LineState::Lost:
            return kLineLost + Shown(m_port->DevicePath()) + (m_beside ? m_beside() : "");
        case CPort::LineState::Closed:
            if (m_bLost)
                return kLineLost + Shown(m_port->DevicePath()) + (m_beside ? m_beside() : "");
            break;
    }
    std::u16string name;
    m_port->GetPortName(&name);
    return kLineNotOpen + Cp1252FromUtf16(name);
}

std::string BackupLineText(const BackupLineState& backup) {
    if (!backup.refusal.empty()) return backup.refusal;
    if (backup.port.empty()) return {};
    if (backup.live) return "Backup line live: " + backup.device;
    std::string text = "Backup line down: " + backup.device;
    if (!backup.reason.empty()) text += " (" + backup.reason + ")";
    return text;
}
