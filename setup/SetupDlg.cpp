#include "SetupDlg.h"

#include <cstdio>

#include "Cp1252.h"
#include "DialogTemplate.h"
#include "Port.h"
#include "PortReason.h"
#include "SettingsStore.h"

CSetupDlg* g_pSetupDlg = nullptr;

namespace {

constexpr char kConnected[] = "Connected";
constexpr char kDisconnected[] = "Disconnected";

}  // namespace

CSetupDlg::CSetupDlg(CPort* pPort, QWidget* parent)
    : CDHtmlDialog(IDD_SETUP, IDR_HTML_SETUP, parent) {
    g_pSetupDlg = this;
    m_pPort = pPort;
    if (m_pPort) {
        std::u16string name;
        m_pPort->GetPortName(&name);
        m_strPort = Cp1252FromUtf16(name);
    }
    // An owner that stays above other windows would otherwise hide its own modal dialog.
    if (parent && parent->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        setWindowFlag(Qt::WindowStaysOnTopHint, true);

    m_eventMap = {
        {DHTMLEVENTMAPENTRY_NAME, DISPID_HTMLELEMENTEVENTS_ONCLICK, QStringLiteral("btnOK"),
         [this](const DHtmlElement& element) { OnButtonOK(element); }},
        // Bound to the list itself, so the same change arriving by name reopens nothing.
        {DHTMLEVENTMAPENTRY_ELEMENT, DISPID_HTMLELEMENTEVENTS_ONCHANGE, QStringLiteral("cmbPort"),
         [this](const DHtmlElement& element) { OnChangePort(element); }},
    };
}

CSetupDlg::~CSetupDlg() {
    // The handler must never reach a dialog that is gone.
    if (g_pSetupDlg == this) g_pSetupDlg = nullptr;
}

const std::vector<DHtmlEventMapEntry>& CSetupDlg::GetDHtmlEventMap() const {
    return m_eventMap;
}

void CSetupDlg::DoDataExchange(CDataExchange* pDX) {
    CDHtmlDialog::DoDataExchange(pDX);
    DDX_DHtml_ElementText(pDX, QStringLiteral("txtStatus"), DISPID_A_VALUE, m_strStatus);
    DDX_DHtml_SelectString(pDX, QStringLiteral("cmbPort"), m_strPort);
    if (!pDX->m_bSaveAndValidate && m_strShownReason != m_strStatusReason &&
        SetElementTitle(QStringLiteral("txtStatus"), m_strStatusReason))
        m_strShownReason = m_strStatusReason;
}

bool CSetupDlg::OnInitDialog() {
    CDHtmlDialog::OnInitDialog();
    // Usually the page is still loading: the host pushes these fields again once it is in.
    UpdateStatus();
    return true;
}

void CSetupDlg::UpdateStatus() {
    if (!m_pPort) return;
    int open = 0;
    m_pPort->IsOpen(&open);
    m_strStatus = open == 1 ? kConnected : kDisconnected;
    m_strStatusReason.clear();
    if (open != 1) {
        // A lost device keeps no reason of its own until it is tried again; a network line
        // keeps why it went down.
        std::error_code reason = m_pPort->LastError();
        if (m_pPort->State() == CPort::LineState::Lost) {
            reason = m_pPort->LineReason();
            if (!reason) reason = std::make_error_code(std::errc::no_such_device_or_address);
        }
        m_strStatusReason =
            DescribePortFailure(m_pPort->DevicePath(), reason, SettingsStore::FileName());
    }
    UpdateData(false);
}

void CSetupDlg::OnChangePort(const DHtmlElement& element) {
    if (!element.state.isSelect()) return;
    char name[16];
    std::snprintf(name, sizeof name, "COM%i", element.state.selectedIndex + 1);
    const std::u16string wide = Utf16FromCp1252(name);

    CSetupDlg* dlg = g_pSetupDlg;
    if (!dlg) return;
    if (dlg->m_pPort) {
        // Closes the open port, waiting for its threads, then opens the chosen one.
        dlg->m_pPort->SetPort(wide.c_str());
        dlg->m_strPort = name;
    }
    dlg->UpdateStatus();
}

void CSetupDlg::OnButtonOK(const DHtmlElement&) {
    OnOK();
}
