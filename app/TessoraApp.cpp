#include "TessoraApp.h"

#include "TessoraDlg.h"

bool CTessoraApp::InitInstance() {
    CTessoraDlg dlg;
    dlg.OpenAtStart(m_strStartFile);
    dlg.Monitor().m_bOpen = m_bStartMonitor;
    dlg.Cues().m_strStartFile = m_strCuesFile;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return false;
}
