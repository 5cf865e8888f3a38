#include "TessoraApp.h"

#include "TessoraDlg.h"

bool CTessoraApp::InitInstance() {
    CTessoraDlg dlg;
    dlg.m_strStartFile = m_strStartFile;
    dlg.m_monitor.m_bOpen = m_bStartMonitor;
    dlg.m_cues.m_strStartFile = m_strCuesFile;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return false;
}
