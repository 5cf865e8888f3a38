#pragma once

#include <optional>
#include <string>

class CTessoraDlg;

// The application object: runs the main window modally; the process ends when it closes.
class CTessoraApp {
public:
    // Always false: there is no message loop after the main window.
    bool InitInstance();

    // The main window while it runs (the page's handlers post to it).
    CTessoraDlg* m_pMainWnd = nullptr;

    // A screen set named on the command line, handed to the main window to open.
    std::optional<std::string> m_strStartFile;
    // --monitor: the unit monitor opens with the main window.
    bool m_bStartMonitor = false;
    // --cues: a cue list to open and show with the main window.
    std::optional<std::string> m_strCuesFile;
};
