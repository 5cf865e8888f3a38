#pragma once

class CTessoraDlg;

// The application object: runs the main window modally; the process ends when it closes.
class CTessoraApp {
public:
    // Always false: there is no message loop after the main window.
    bool InitInstance();

    // The main window while it runs (the page's handlers post to it).
    CTessoraDlg* m_pMainWnd = nullptr;
};
