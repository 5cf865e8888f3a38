#include "SetupDlg.h"

#include <cstdio>
#include <tuple>
#include <utility>

#include "Charset.h"
#include "Cp1252.h"
#include "DialogTemplate.h"
#include "Port.h"
#include "PortReason.h"
#include "SettingsStore.h"

CSetupDlg* g_pSetupDlg = nullptr;

namespace {

constexpr char kConnected[] = "Connected";
constexpr char kDisconnected[] = "Disconnected";
// The backup list's first entry: no backup.
constexpr char kNoBackup[] = "None";

// "Connected" or "Disconnected" for a port, and why it is not connected (UTF-8, "" when it is).
std::pair<std::string, std::string> DescribeLine(const CPort& port) {
    int open = 0;
    port.IsOpen(&open);
    if (open == 1) return {kConnected, {}};
    // A lost device keeps no reason of its own until it is tried again; a network line
    // keeps why it went down.
    std::error_code reason = port.LastError();
    if (port.State() == CPort::LineState::Lost) {
        reason = port.LineReason();
        if (!reason) reason = std::make_error_code(std::errc::no_such_device_or_address);
    }
    return {kDisconnected,
            DescribePortFailure(port.DevicePath(), reason, SettingsStore::FileName())};
}

}  // namespace

CSetupDlg::CSetupDlg(CPort* pPort, QWidget* parent, SetupBackupHook backup)
    : CDHtmlDialog(IDD_SETUP, IDR_HTML_SETUP, parent), m_backup(std::move(backup)) {
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
    if (m_backup.use) {
        const std::string name = Cp1252FromUtf16(m_backup.name());
        m_strBackup = name.empty() ? kNoBackup : name;
        m_eventMap.push_back({DHTMLEVENTMAPENTRY_ELEMENT, DISPID_HTMLELEMENTEVENTS_ONCHANGE,
                              QStringLiteral("cmbBackup"),
                              [this](const DHtmlElement& element) { OnChangeBackup(element); }});
    }
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
    if (!m_backup.use) return;
    DDX_DHtml_ElementText(pDX, QStringLiteral("txtBackupStatus"), DISPID_A_VALUE,
                          m_strBackupStatus);
    DDX_DHtml_SelectString(pDX, QStringLiteral("cmbBackup"), m_strBackup);
    if (!pDX->m_bSaveAndValidate && m_strShownBackupReason != m_strBackupReason &&
        SetElementTitle(QStringLiteral("txtBackupStatus"), m_strBackupReason))
        m_strShownBackupReason = m_strBackupReason;
}

bool CSetupDlg::OnInitDialog() {
    CDHtmlDialog::OnInitDialog();
    // Usually the page is still loading: the host pushes these fields again once it is in.
    UpdateStatus();
    return true;
}

void CSetupDlg::UpdateStatus() {
    if (!m_pPort) return;
    std::tie(m_strStatus, m_strStatusReason) = DescribeLine(*m_pPort);
    if (m_backup.use) {
        // A refused backup says why in the status itself, and in full in its tooltip.
        const std::string refusal = m_backup.refusal();
        const CPort* backup = m_backup.port();
        m_strBackupStatus.clear();
        m_strBackupReason.clear();
        if (!refusal.empty()) {
            m_strBackupStatus = AnsiFromUtf8(refusal);
            m_strBackupReason = refusal;
        } else if (backup) {
            std::tie(m_strBackupStatus, m_strBackupReason) = DescribeLine(*backup);
        }
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
        // A backup on the chosen port's device would keep it from the main line: the backup
        // lets go first, and is taken up again checked against the new main port.
        const std::u16string backup = dlg->m_backup.use ? dlg->m_backup.name() : u"";
        if (!backup.empty()) dlg->m_backup.use(u"");
        // Closes the open port, waiting for its threads, then opens the chosen one.
        dlg->m_pPort->SetPort(wide.c_str());
        if (!backup.empty()) dlg->m_backup.use(backup);
        dlg->m_strPort = name;
    }
    dlg->UpdateStatus();
}

void CSetupDlg::OnChangeBackup(const DHtmlElement& element) {
    if (!element.state.isSelect() || !m_backup.use) return;
    // The list is None, then COM1 to COM4.
    const int index = element.state.selectedIndex;
    const std::string name = index >= 1 ? "COM" + std::to_string(index) : std::string();
    m_backup.use(Utf16FromCp1252(name));
    m_strBackup = name.empty() ? kNoBackup : name;
    UpdateStatus();
}

void CSetupDlg::OnButtonOK(const DHtmlElement&) {
    OnOK();
}
