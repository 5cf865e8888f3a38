#pragma once

#include <QDialog>
#include <QHash>
#include <QUrl>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PageModel.h"
#include "PageView.h"
#include "WindowTypes.h"

// Direction of one data exchange: true reads the page into the fields, false writes the
// fields to the page.
struct CDataExchange {
    bool m_bSaveAndValidate;
};

// The element a page event came from, as the host's model knew it at that event.
struct DHtmlElement {
    QString id;
    PageElement state;
};

// One row of a dialog's page event table.
struct DHtmlEventMapEntry {
    int nType;  // DHTMLEVENTMAPENTRY_NAME or DHTMLEVENTMAPENTRY_ELEMENT
    int dispId;
    QString szName;
    std::function<void(const DHtmlElement&)> handler;
};

// One row of a dialog's key table: a key chord taken from the page ("Ctrl+Return", "F2"), the
// pages it is taken from (by resource id; every page when empty) and what it runs.
struct DHtmlKeyMapEntry {
    QString chord;
    std::vector<int> htmlResIds;
    std::function<void()> handler;
};

// A dialog whose whole client area is an HTML page from the program's resources. The
// dialog's logic reads and writes the page's named elements through the host's model and
// reacts to page events through its event table; commands run from posted messages.
class CDHtmlDialog : public QDialog {
    Q_OBJECT
public:
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    using MessageMap = std::map<unsigned, MessageHandler>;

    // The browser side comes from the page-view factory when OnInitDialog first runs.
    CDHtmlDialog(int templateId, int htmlResId, QWidget* parent = nullptr);
    ~CDHtmlDialog() override;

    // Initialises the dialog, shows it and runs its modal loop; returns the EndDialog result.
    int DoModal();
    void EndDialog(int result);
    void done(int result) override;

    void SetHostFlags(unsigned flags);
    void LoadFromResource(int resourceId);

    bool UpdateData(bool bSaveAndValidate = true);

    // Element access; each returns false when the page has no such element.
    bool HasElement(const QString& id) const;
    bool SetElementBackgroundColor(const QString& id, const QString& color);
    bool FocusElement(const QString& id);
    // One element's shown text (Windows-1252), leaving every other field as it is.
    bool SetElementText(const QString& id, const std::string& ansiText);
    // The tooltip of an element (UTF-8); "" none.
    bool SetElementTitle(const QString& id, const std::string& text);
    // Adds "<epoch ms> <line>" to the file that outside drivers of the program wait on.
    static void AnnounceToDrivers(const QString& line);
    const PageModel& Page() const { return m_page; }
    PageView* View() const { return m_view.get(); }

    // True while another modal window (a message box, a file dialog, another dialog) runs
    // its own loop over this one: commands from elsewhere must wait for it.
    bool IsUnderModal() const;

    // Posted window messages, dispatched later through the dialog's message map.
    void PostMessage(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Runs a message through the message map now (what the message loop does).
    LRESULT SendMessage(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Window timers: ticks arrive as OnTimer(id).
    void SetTimer(unsigned id, unsigned periodMs);
    bool KillTimer(unsigned id);
    bool HasTimer(unsigned id) const { return m_timers.count(id) != 0; }

    // The window's outer rectangle on the screen, caption bar included, and its move.
    void GetWindowRect(RECT* rect) const;
    void MoveWindow(int x, int y, int width, int height, bool repaint = true);
    void SetWindowText(const std::string& ansiTitle);

signals:
    // The page at url is taken up: filled from the fields and every write applied, so what
    // the operator does on it now reaches the dialog.
    void pageReady(const QString& url);
    // A posted command has run and the page has applied what it wrote.
    void commandDone(unsigned message);
    // The operator changed an element of the page (typed, picked an option).
    void elementChanged(const QString& id);

protected:
    virtual bool OnInitDialog();
    virtual void OnDocumentComplete(const QString& url);
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnCancel();
    virtual void OnOK();
    virtual void OnTimer(unsigned id);
    virtual const std::vector<DHtmlEventMapEntry>& GetDHtmlEventMap() const;
    virtual const std::vector<DHtmlKeyMapEntry>& GetDHtmlKeyMap() const;
    virtual const MessageMap& GetMessageMap() const;
    // Shows an error that escaped a command, as the message dispatch does.
    virtual void ReportException(std::exception_ptr error);

    // Called when a text read from the page held control characters, which were dropped.
    virtual void OnControlCharactersDropped() {}
    // Exchanges a text property (innerText or value) of an element with a field.
    void DDX_DHtml_ElementText(CDataExchange* pDX, const QString& id, int dispId,
                               std::string& field);
    // Exchanges the selected index of a select element with a field.
    void DDX_DHtml_SelectIndex(CDataExchange* pDX, const QString& id, std::int32_t& field);
    // Exchanges the selected option's text; writing selects the first option whose text
    // equals the field exactly, or none.
    void DDX_DHtml_SelectString(CDataExchange* pDX, const QString& id, std::string& field);

    void setVisible(bool visible) override;
    void reject() override;
    void accept() override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

    // The window manager's frame around the window, as it is now.
    QMargins frameMargins() const;

private:
    void createView();
    void onPageLoaded(const QString& url, QHash<QString, PageElement> elements);
    void onPageLost();
    void announceDone(unsigned message);
    void releaseShow();
    void onElementChanged(const QString& id, const PageElement& state);
    void onPageEvent(const QString& id, const QString& type, bool viaElement,
                     const PageElement& state);
    void onPageKey(const QString& chord);
    bool keyOnLoadedPage(const DHtmlKeyMapEntry& row) const;
    void writeProperty(const QString& id, const QString& property, const QVariant& value);
    template <typename F>
    void guarded(F&& command);

    int m_templateId;
    int m_htmlResId;
    std::unique_ptr<PageView> m_view;
    PageModel m_page;
    QUrl m_pendingUrl;
    unsigned m_hostFlags = 0;
    bool m_initialised = false;
    // The window's first show waits for its page (see setVisible).
    bool m_holdShow = false;
    bool m_showHeld = false;
    std::map<unsigned, int> m_timers;  // dialog timer id -> Qt timer id
};
