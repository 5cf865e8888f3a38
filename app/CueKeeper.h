#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QPoint>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CaptionCommands.h"
#include "CueDeck.h"
#include "CueWnd.h"
#include "DHtmlDialog.h"

class SettingsStore;

// The cue list's life beside the main window: the deck, its window (F3), the keys that play
// it, the file read off the window's thread and read again when it changes on disk, the timed
// cues run from the window's event loop, and the settings group Cues. It plays through the caption
// session; the window gives it keys and a place.
class CCueKeeper {
public:
    // miniMode tells whether the window is the strip, which stays where the operator put it.
    CCueKeeper(CDHtmlDialog& window, CaptionCommands& session, std::function<bool()> miniMode);
    ~CCueKeeper();

    CueDeck& Deck() { return m_deck; }
    // Ctrl+Space, Ctrl+Down, Ctrl+Up and F3 in the main window and the strip, and the
    // commands they post.
    void AddCommands(std::vector<DHtmlKeyMapEntry>& keys, CDHtmlDialog::MessageMap& messages);
    // Once the settings are read: opens the list named on the command line, else the last one,
    // and shows the window with the main one when it is to be shown.
    void Start();

    void Show(bool show);
    bool Shown() const { return m_pWnd && m_pWnd->isVisible(); }
    CCueWnd* Window() const { return m_pWnd.get(); }
    // Reads a list off the window's thread; the list shown stays until it is read whole.
    void Open(const std::string& path, bool reload = false);

    void Load(const SettingsStore& store);
    void Save(SettingsStore& store);

    // Given on the command line: the list to open at start.
    std::optional<std::string> m_strStartFile;
    bool m_bOpen = false;

private:
    LRESULT OnTake(WPARAM number, LPARAM lParam);
    LRESULT OnMove(WPARAM direction, LPARAM lParam);
    // Runs the timed cues that have fallen due, and waits for the next.
    void RunTimed();
    void ArmTimed();
    // The window's message: what the file's last reading said, then what the last take did.
    void Say(const QString& fileMessage, const QString& takeMessage);
    void FileChanged();
    void FolderChanged();
    // Watches the file (the one a link points to now) and its folder, which tells when the
    // file is replaced, removed, put back or a link to it is pointed elsewhere.
    void Watch(const QString& file);
    void EnsureWindow();

    CDHtmlDialog& m_window;
    CaptionCommands& m_session;
    std::function<bool()> m_miniMode;
    CueDeck m_deck;
    std::unique_ptr<CCueWnd> m_pWnd;
    // The file being read or shown, and the reads begun: only the last one's result counts.
    std::string m_strFile;
    int m_nReads = 0;
    QString m_strMessage;
    QString m_strFileMessage;
    QFileSystemWatcher m_watcher;
    // The file watched, what it was when last read (where a link led, size, times), and
    // whether it was found missing.
    QString m_strWatched;
    QString m_strMark;
    bool m_bMissing = false;
    // An editor writes a file in steps, or replaces it: one read after it is done.
    QTimer m_reread;
    // Wakes when a hold ends or a time of day begins.
    QTimer m_timed;
    QObject m_context;
    int m_listenKey = 0;
    int m_skipKey = 0;
};
