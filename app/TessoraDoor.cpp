// The main window's door: the commands the rest of the program reaches the session by.
// Each command runs through the window's own handlers, as the page's do.
#include "Messages.h"
#include "TessoraDlg.h"

WriteOrigin CTessoraDlg::OriginOf(LPARAM lParam) const {
    const auto origin = static_cast<WriteOrigin>(lParam);
    return origin == WriteOrigin::Page && m_bMiniMode ? WriteOrigin::Strip : origin;
}

void CTessoraDlg::SelectScreen(int screen, WriteOrigin origin) {
    // Screens are 2 to 5 in the window's messages, as the page's tabs post them.
    SendMessage(UWM_SELECT_SCREEN, static_cast<WPARAM>(screen + 1), static_cast<LPARAM>(origin));
}

void CTessoraDlg::Send(WriteOrigin origin) {
    SendMessage(UWM_SEND, 0, static_cast<LPARAM>(origin));
}

CCaptionSession::PlayResult CTessoraDlg::Play(int screen, const ScreenContent& content,
                                              WriteOrigin origin, int cue, bool replaceTyped) {
    // What the operator typed last is taken first: it may be what the play must not replace.
    UpdateData(true);
    const CCaptionSession::PlayResult played =
        m_session.Play(screen, content, origin, cue, replaceTyped);
    if (played == CCaptionSession::PlayResult::Played) ShowScreen();
    return played;
}

void CTessoraDlg::Clear(WriteOrigin origin) {
    SendMessage(UWM_CLEAR, 0, static_cast<LPARAM>(origin));
}

void CTessoraDlg::PutScreen(int screen, const ScreenChange& change, WriteOrigin origin) {
    // What the operator typed last is taken first, so it is not written over unseen.
    UpdateData(true);
    m_session.Put(screen, change, origin);
}
