#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DHtmlDialog.h"

class CPort;

// How Setup reaches the backup caption unit; the window hands it in, the session does the
// work. Without one the dialog leaves the backup's rows alone.
struct SetupBackupHook {
    // The backup port named ("" none), its port (null while none is used) and why the one
    // named is refused (UTF-8, "" when it is not).
    std::function<std::u16string()> name;
    std::function<CPort*()> port;
    std::function<std::string()> refusal;
    // Takes the named port ("" none) as the backup at once, checked against the main port
    // as it is named now.
    std::function<void(const std::u16string&)> use;
};

// The modal dialog in which the operator picks the serial port (COM1 to COM4) and the backup
// unit's port (none, COM1 to COM4) and sees at once whether each link came up. A choice takes
// effect when it is made: the port is closed and the chosen one opened before the status is
// shown.
class CSetupDlg : public CDHtmlDialog {
public:
    // pPort: the main window's port, not owned; it must outlive the dialog.
    CSetupDlg(CPort* pPort, QWidget* parent, SetupBackupHook backup = {});
    ~CSetupDlg() override;

    bool OnInitDialog() override;

    // Shows "Connected" or "Disconnected" for the port and selects its name in the list;
    // the same for the backup, or why it is refused.
    void UpdateStatus();

    // Page events.
    void OnChangePort(const DHtmlElement& element);
    void OnChangeBackup(const DHtmlElement& element);
    void OnButtonOK(const DHtmlElement& element);

    CPort* m_pPort = nullptr;
    std::string m_strStatus;        // Windows-1252
    std::string m_strStatusReason;  // why the port is not connected (UTF-8), the status's tooltip
    std::string m_strShownReason;   // the tooltip the page has
    std::string m_strPort;          // Windows-1252
    // The backup's list entry ("None" for none), status and its tooltip, as the port's.
    std::string m_strBackup;
    std::string m_strBackupStatus;
    std::string m_strBackupReason;
    std::string m_strShownBackupReason;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    const std::vector<DHtmlEventMapEntry>& GetDHtmlEventMap() const override;

private:
    SetupBackupHook m_backup;
    std::vector<DHtmlEventMapEntry> m_eventMap;
};

// The setup dialog constructed last; the port-change handler works through it while that
// dialog runs. Null once that dialog is gone.
extern CSetupDlg* g_pSetupDlg;
