#include "TessoraApp.h"

#include "TessoraDlg.h"

bool CTessoraApp::InitInstance() {
    CTessoraDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return false;
}
