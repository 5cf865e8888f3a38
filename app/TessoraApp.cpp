#include "TessoraApp.h"

#include "TessoraDlg.h"

bool CTessoraApp::InitInstance() {
    CTessoraDlg dlg;
    dlg.m_strStartFile = m_strStartFile;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return false;
}
