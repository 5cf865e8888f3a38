#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DHtmlDialog.h"

class CPort;

// The modal dialog in which the operator picks the serial port (COM1 to COM4) and sees at
// once whether the link came up. A choice takes effect when it is made: the main window's
// port is closed and the chosen one opened before the status is shown.
class CSetupDlg : public CDHtmlDialog {
public:
    // pPort: the main window's port, not owned; it must outlive the dialog.
    CSetupDlg(CPort* pPort, QWidget* parent);
    ~CSetupDlg() override;

    bool OnInitDialog() override;

    // Shows "Connected" or "Disconnected" for the port and selects its name in the list.
    void UpdateStatus();

    // Page events.
    void OnChangePort(const DHtmlElement& element);
    void OnButtonOK(const DHtmlElement& element);

    CPort* m_pPort = nullptr;
    std::string m_strStatus;        // Windows-1252
    std::string m_strStatusReason;  // why the port is not connected (UTF-8), the status's tooltip
    std::string m_strShownReason;   // the tooltip the page has
    std::string m_strPort;          // Windows-1252

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    const std::vector<DHtmlEventMapEntry>& GetDHtmlEventMap() const override;

private:
    std::vector<DHtmlEventMapEntry> m_eventMap;
};

// The setup dialog constructed last; the port-change handler works through it while that
// dialog runs. Null once that dialog is gone.
extern CSetupDlg* g_pSetupDlg;
