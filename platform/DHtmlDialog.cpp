#include "DHtmlDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <limits>
#include <new>

#include "Charset.h"
#include "Cp1252.h"
#include "DialogTemplate.h"
#include "KeyPresses.h"
#include "MessageBox.h"
#include "ResourceUrl.h"

namespace {

// A message posted to a dialog, carrying its number and parameters.
class PostedMessageEvent : public QEvent {
public:
    static QEvent::Type eventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    PostedMessageEvent(unsigned message, WPARAM wParam, LPARAM lParam)
        : QEvent(eventType()), message(message), wParam(wParam), lParam(lParam) {}

    const unsigned message;
    const WPARAM wParam;
    const LPARAM lParam;
};

const char* eventTypeForDispId(int dispId) {
    switch (dispId) {
        case DISPID_HTMLELEMENTEVENTS_ONCLICK:
            return "click";
        case DISPID_HTMLELEMENTEVENTS_ONMOUSEDOWN:
            return "mousedown";
        case DISPID_HTMLELEMENTEVENTS_ONCHANGE:
            return "change";
        default:
            return "";
    }
}

// Whoever drives the program from outside (the window tests, the start-up measurement)
// waits on this file rather than guessing. One line "<epoch ms> ready <url>" for each page
// taken up, and "<epoch ms> done <message>" for each posted command whose writes the page
// has applied.
constexpr char kReadyFileVariable[] = "TESSORA_READY_FILE";

// The longest a window waits for its page before it shows anyway.
constexpr int kLongestHeldShowMs = 5000;

void AppendReadyLine(const QString& line) {
    const QString path = qEnvironmentVariable(kReadyFileVariable);
    if (path.isEmpty()) return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(
            QStringLiteral("%1 %2\n").arg(QDateTime::currentMSecsSinceEpoch()).arg(line).toUtf8());
}

// Key presses on their way to the page's widgets (which come and go with its renderer)
// that repeat a key held down reach the page marked as repeats, so a claimed key runs its
// command once per press however the window system reports the repeats, and the text box
// still repeats a key held in it.
class PageKeyRepeats : public QObject {
public:
    PageKeyRepeats(QWidget* window, QWidget* page)
        : QObject(window), m_window(window), m_page(page) {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        const QEvent::Type type = e->type();
        if (type == QEvent::WindowDeactivate && watched == m_window) m_presses.Forget();
        if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || m_bHandingOn) return false;
        // A key stroke reaches the focus widget first. Only the pointer of the object watched
        // is compared: the filter sees every object's events, some sent while that object is
        // being destroyed (a renderer's view going away), where no member may be called.
        QWidget* const widget = QApplication::focusWidget();
        if (!widget || watched != widget || !m_page ||
            (widget != m_page && !m_page->isAncestorOf(widget)))
            return false;
        auto* key = static_cast<QKeyEvent*>(e);
        // A key event made without a scan code (by a test tool) is known by its key instead.
        const std::uint32_t id = key->nativeScanCode() != 0
                                     ? key->nativeScanCode()
                                     : static_cast<std::uint32_t>(key->key()) | 0x80000000u;
        if (m_presses.Take(e, type == QEvent::KeyPress, id, key->timestamp(),
                           key->isAutoRepeat()) == KeyPresses::Verdict::pass)
            return false;
        QKeyEvent repeat(QEvent::KeyPress, key->key(), key->modifiers(), key->nativeScanCode(),
                         key->nativeVirtualKey(), key->nativeModifiers(), key->text(), true,
                         key->count(), key->device());
        repeat.setTimestamp(key->timestamp());
        m_bHandingOn = true;
        QCoreApplication::sendEvent(watched, &repeat);
        m_bHandingOn = false;
        return true;
    }

private:
    QWidget* m_window;
    QPointer<QWidget> m_page;
    KeyPresses m_presses;
    bool m_bHandingOn = false;
};

}  // namespace

// Runs a command as the message dispatch does: an error that escapes it is shown, and the
// window goes on.
template <typename F>
void CDHtmlDialog::guarded(F&& command) {
    try {
        command();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

CDHtmlDialog::CDHtmlDialog(int templateId, int htmlResId, QWidget* parent)
    : QDialog(parent), m_templateId(templateId), m_htmlResId(htmlResId) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (const DialogTemplate* t = FindDialogTemplate(templateId)) {
        setWindowTitle(QString::fromLatin1(t->caption));
        setFixedSize(DialogUnitsToPixels(t->widthDlu, t->heightDlu));
        if (t->topmost) flags |= Qt::WindowStaysOnTopHint;
    }
    setWindowFlags(flags);
    setSizeGripEnabled(false);
}

CDHtmlDialog::~CDHtmlDialog() {
    // The view reports into this dialog; silence it before the members go.
    if (m_view) m_view->setCallbacks({});
}

int CDHtmlDialog::DoModal() {
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
    // A window drawn before its page would show the operator an empty white frame; it
    // appears once the page is taken up instead. The page loads just as fast unseen. Should
    // the page never come, the window shows all the same, so it can still be closed.
    m_holdShow = m_view && m_view->widget() && !m_page.isLoaded();
    if (m_holdShow) QTimer::singleShot(kLongestHeldShowMs, this, [this] { releaseShow(); });
    return exec();
}

void CDHtmlDialog::setVisible(bool visible) {
    if (visible && m_holdShow) {
        m_showHeld = true;
        return;
    }
    // A window ended before its page came must not appear when the page does.
    if (!visible) m_holdShow = m_showHeld = false;
    QDialog::setVisible(visible);
}

void CDHtmlDialog::done(int result) {
    if (!m_showHeld) {
        QDialog::done(result);
        return;
    }
    // Ended while still waiting for its page. The dialog ends its modal run by hiding the
    // window, and skips that for a window never shown: show it first, off the screen.
    m_holdShow = m_showHeld = false;
    setAttribute(Qt::WA_DontShowOnScreen, true);
    QDialog::setVisible(true);
    QPointer<CDHtmlDialog> self(this);
    QDialog::done(result);
    if (self) setAttribute(Qt::WA_DontShowOnScreen, false);
}

void CDHtmlDialog::releaseShow() {
    m_holdShow = false;
    if (!m_showHeld) return;
    m_showHeld = false;
    show();
}

void CDHtmlDialog::EndDialog(int result) {
    done(result);
}

void CDHtmlDialog::SetHostFlags(unsigned flags) {
    m_hostFlags = flags;
    if (m_view) m_view->setHostFlags(flags);
}

bool CDHtmlDialog::OnInitDialog() {
    createView();
    LoadFromResource(m_htmlResId);
    return true;
}

void CDHtmlDialog::createView() {
    if (!m_view) m_view = MakePageView(this);
    if (!m_view) return;
    m_view->setCallbacks({
        [this](const QString& url, QHash<QString, PageElement> elements) {
            onPageLoaded(url, std::move(elements));
        },
        [this](const QString& id, const PageElement& state) { onElementChanged(id, state); },
        [this](const QString& id, const QString& type, bool viaElement, const PageElement& state) {
            onPageEvent(id, type, viaElement, state);
        },
        // Escape inside the page closes the dialog as it would outside it.
        [this] {
            QMetaObject::invokeMethod(
                this, [this] { reject(); }, Qt::QueuedConnection);
        },
        [this] { onPageLost(); },
        [this](const QString& chord) { onPageKey(chord); },
    });
    m_view->setHostFlags(m_hostFlags);
    if (QWidget* w = m_view->widget()) {
        new PageKeyRepeats(this, w);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(w);
    }
}

void CDHtmlDialog::LoadFromResource(int resourceId) {
    const QUrl url = ResourceUrl(resourceId);
    if (m_pendingUrl.matches(url, QUrl::None) && !m_page.isLoaded()) return;  // on its way
    m_page.unload();
    m_pendingUrl = url;
    if (m_view) m_view->load(url);
}

void CDHtmlDialog::onPageLoaded(const QString& url, QHash<QString, PageElement> elements) {
    // A report from a page the host has since navigated away from is stale.
    if (!QUrl(url).matches(m_pendingUrl, QUrl::None) &&
        QUrl(url).toString().compare(m_pendingUrl.toString(), Qt::CaseInsensitive) != 0)
        return;
    m_page.load(url, std::move(elements));
    guarded([&] { OnDocumentComplete(url); });
    if (!m_view) return;
    m_view->whenApplied([self = QPointer<CDHtmlDialog>(this), url] {
        if (!self || !self->m_page.isLoaded() || self->m_page.url() != url) return;
        self->releaseShow();
        emit self->pageReady(url);
        AppendReadyLine(QStringLiteral("ready ") + url);
    });
}

void CDHtmlDialog::announceDone(unsigned message) {
    if (!m_view) return;
    m_view->whenApplied([self = QPointer<CDHtmlDialog>(this), message] {
        if (self) emit self->commandDone(message);
        AppendReadyLine(QStringLiteral("done %1").arg(message));
    });
}

void CDHtmlDialog::OnDocumentComplete(const QString&) {
    for (const DHtmlEventMapEntry& row : GetDHtmlEventMap())
        if (row.nType == DHTMLEVENTMAPENTRY_ELEMENT && m_view && HasElement(row.szName))
            m_view->bindElementEvent(row.szName,
                                     QString::fromLatin1(eventTypeForDispId(row.dispId)));
    QStringList chords;
    for (const DHtmlKeyMapEntry& row : GetDHtmlKeyMap())
        if (keyOnLoadedPage(row)) chords.append(row.chord);
    if (m_view) m_view->claimKeys(chords);
    UpdateData(false);
}

bool CDHtmlDialog::keyOnLoadedPage(const DHtmlKeyMapEntry& row) const {
    if (!m_page.isLoaded()) return false;
    if (row.htmlResIds.empty()) return true;
    const QString url = QUrl(m_page.url()).toString();
    return std::any_of(row.htmlResIds.begin(), row.htmlResIds.end(), [&](int id) {
        return url.compare(ResourceUrl(id).toString(), Qt::CaseInsensitive) == 0;
    });
}

bool CDHtmlDialog::IsUnderModal() const {
    const QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr && modal != this;
}

void CDHtmlDialog::onPageKey(const QString& chord) {
    // A key still on its way when a message box, a file dialog or another dialog came up
    // over this window is dropped: the window it was pressed at now waits for an answer.
    if (IsUnderModal()) return;
    for (const DHtmlKeyMapEntry& row : GetDHtmlKeyMap())
        if (row.chord == chord && row.handler && keyOnLoadedPage(row)) guarded(row.handler);
}

void CDHtmlDialog::onPageLost() {
    // The model still holds what the page showed last: into the fields with it, then the
    // page again, whose load puts the fields back as after any other load.
    if (m_page.isLoaded()) guarded([this] { UpdateData(true); });
    m_page.unload();
    if (m_view && !m_pendingUrl.isEmpty()) m_view->load(m_pendingUrl);
}

void CDHtmlDialog::onElementChanged(const QString& id, const PageElement& state) {
    PageElement* e = m_page.find(id);
    if (!e) return;
    *e = state;
    emit elementChanged(id);
}

void CDHtmlDialog::onPageEvent(const QString& id, const QString& type, bool viaElement,
                               const PageElement& state) {
    if (!m_page.isLoaded()) return;
    onElementChanged(id, state);
    const int kind = viaElement ? DHTMLEVENTMAPENTRY_ELEMENT : DHTMLEVENTMAPENTRY_NAME;
    for (const DHtmlEventMapEntry& row : GetDHtmlEventMap()) {
        if (row.nType == kind && row.szName == id &&
            type == QLatin1String(eventTypeForDispId(row.dispId)) && row.handler)
            guarded([&] { row.handler(DHtmlElement{id, state}); });
    }
}

bool CDHtmlDialog::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx{bSaveAndValidate};
    DoDataExchange(&dx);
    return true;
}

void CDHtmlDialog::DoDataExchange(CDataExchange*) {}

void CDHtmlDialog::writeProperty(const QString& id, const QString& property,
                                 const QVariant& value) {
    if (m_view) m_view->setElementProperty(id, property, value);
}

void CDHtmlDialog::DDX_DHtml_ElementText(CDataExchange* pDX, const QString& id, int dispId,
                                         std::string& field) {
    PageElement* e = m_page.find(id);
    if (!e) return;
    const bool isValue = dispId == DISPID_A_VALUE;
    if (pDX->m_bSaveAndValidate) {
        field = ToAnsi(isValue ? e->value : e->innerText);
        // Control characters (pasted, say) would end a text early as a C string (NUL) or be
        // acted on by the unit (ESC, BEL...). The element is given the text without them, so
        // it shows what goes out, and the window says so once.
        if (DropControlCharacters(field) != 0) {
            const QString kept = FromAnsi(field);
            (isValue ? e->value : e->innerText) = kept;
            writeProperty(id, isValue ? QStringLiteral("value") : QStringLiteral("innerText"),
                          kept);
            OnControlCharactersDropped();
        }
        return;
    }
    const QString text = FromAnsi(field);
    (isValue ? e->value : e->innerText) = text;
    writeProperty(id, isValue ? QStringLiteral("value") : QStringLiteral("innerText"), text);
}

void CDHtmlDialog::DDX_DHtml_SelectIndex(CDataExchange* pDX, const QString& id,
                                         std::int32_t& field) {
    PageElement* e = m_page.find(id);
    if (!e || !e->isSelect()) return;
    if (pDX->m_bSaveAndValidate) {
        field = e->selectedIndex;
        return;
    }
    // A select shows no option for an index it does not have.
    e->selectedIndex = field >= 0 && field < e->options.size() ? field : -1;
    writeProperty(id, QStringLiteral("selectedIndex"), e->selectedIndex);
}

void CDHtmlDialog::DDX_DHtml_SelectString(CDataExchange* pDX, const QString& id,
                                          std::string& field) {
    PageElement* e = m_page.find(id);
    if (!e || !e->isSelect()) return;
    if (pDX->m_bSaveAndValidate) {
        const bool selected = e->selectedIndex >= 0 && e->selectedIndex < e->options.size();
        field = selected ? ToAnsi(e->options.at(e->selectedIndex)) : std::string();
        return;
    }
    e->selectedIndex = static_cast<int>(e->options.indexOf(FromAnsi(field)));
    writeProperty(id, QStringLiteral("selectedIndex"), e->selectedIndex);
}

bool CDHtmlDialog::HasElement(const QString& id) const {
    return m_page.find(id) != nullptr;
}

bool CDHtmlDialog::SetElementBackgroundColor(const QString& id, const QString& color) {
    PageElement* e = m_page.find(id);
    if (!e) return false;
    e->backgroundColor = color;
    writeProperty(id, QStringLiteral("backgroundColor"), color);
    return true;
}

bool CDHtmlDialog::SetElementText(const QString& id, const std::string& ansiText) {
    PageElement* e = m_page.find(id);
    if (!e) return false;
    e->innerText = FromAnsi(ansiText);
    writeProperty(id, QStringLiteral("innerText"), e->innerText);
    return true;
}

bool CDHtmlDialog::SetElementTitle(const QString& id, const std::string& text) {
    if (!HasElement(id)) return false;
    writeProperty(id, QStringLiteral("title"), QString::fromStdString(text));
    return true;
}

void CDHtmlDialog::AnnounceToDrivers(const QString& line) {
    AppendReadyLine(line);
}

bool CDHtmlDialog::FocusElement(const QString& id) {
    if (!HasElement(id)) return false;
    if (m_view) m_view->focusElement(id);
    return true;
}

void CDHtmlDialog::PostMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
    QCoreApplication::postEvent(this, new PostedMessageEvent(message, wParam, lParam));
}

LRESULT CDHtmlDialog::SendMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
    const MessageMap& map = GetMessageMap();
    auto it = map.find(message);
    if (it == map.end()) return 0;
    LRESULT result = 0;
    guarded([&] { result = it->second(wParam, lParam); });
    return result;
}

bool CDHtmlDialog::event(QEvent* e) {
    if (e->type() == PostedMessageEvent::eventType()) {
        const auto* m = static_cast<PostedMessageEvent*>(e);
        SendMessage(m->message, m->wParam, m->lParam);
        announceDone(m->message);
        return true;
    }
    return QDialog::event(e);
}

void CDHtmlDialog::SetTimer(unsigned id, unsigned periodMs) {
    KillTimer(id);
    const int qtId = startTimer(static_cast<int>(periodMs), Qt::PreciseTimer);
    if (qtId != 0) m_timers[id] = qtId;
}

bool CDHtmlDialog::KillTimer(unsigned id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return false;
    killTimer(it->second);
    m_timers.erase(it);
    return true;
}

void CDHtmlDialog::timerEvent(QTimerEvent* e) {
    for (const auto& [id, qtId] : m_timers) {
        if (qtId == e->timerId()) {
            const unsigned timerId = id;
            guarded([&] { OnTimer(timerId); });
            return;
        }
    }
    QDialog::timerEvent(e);
}

void CDHtmlDialog::OnTimer(unsigned) {}

QMargins CDHtmlDialog::frameMargins() const {
    // Asked of the window system each time: the widget's own copy can lag behind the
    // window manager, and the strip must land exactly where the operator left it.
    return windowHandle() ? windowHandle()->frameMargins() : QMargins();
}

void CDHtmlDialog::GetWindowRect(RECT* rect) const {
    const QRect r = geometry().marginsAdded(frameMargins());
    rect->left = r.left();
    rect->top = r.top();
    rect->right = r.left() + r.width();
    rect->bottom = r.top() + r.height();
}

void CDHtmlDialog::MoveWindow(int x, int y, int width, int height, bool repaint) {
    // The rectangle given is the outer one: the frame the window manager adds is taken off.
    // Stored values may be anything, so the sums are made wide and brought back into range.
    const QMargins m = frameMargins();
    const auto toInt = [](qint64 v) {
        return static_cast<int>(std::clamp<qint64>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
    };
    // No larger than the screen's free area: a window beyond it would only cost the window
    // thread its time drawing what nobody can see.
    const QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
    if (!screen) screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QSize room =
        screen ? screen->availableGeometry().size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const qint64 clientWidth = qint64{width} - m.left() - m.right();
    const qint64 clientHeight = qint64{height} - m.top() - m.bottom();
    const QSize client(
        toInt(std::clamp<qint64>(clientWidth, 1, std::max(1, room.width() - m.left() - m.right()))),
        toInt(std::clamp<qint64>(clientHeight, 1,
                                 std::max(1, room.height() - m.top() - m.bottom()))));
    setFixedSize(client);
    // The far edge must stay a number too.
    const QPoint at(
        toInt(std::min<qint64>(qint64{x} + m.left(), qint64{INT_MAX} - client.width())),
        toInt(std::min<qint64>(qint64{y} + m.top(), qint64{INT_MAX} - client.height())));
    setGeometry(QRect(at, client));
    if (repaint) update();
}

void CDHtmlDialog::SetWindowText(const std::string& ansiTitle) {
    setWindowTitle(FromAnsi(ansiTitle));
}

void CDHtmlDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDHtmlDialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void CDHtmlDialog::reject() {
    guarded([this] { OnCancel(); });
}

void CDHtmlDialog::accept() {
    guarded([this] { OnOK(); });
}

void CDHtmlDialog::closeEvent(QCloseEvent* e) {
    // The dialog decides whether a close request ends it.
    e->ignore();
    reject();
}

const std::vector<DHtmlEventMapEntry>& CDHtmlDialog::GetDHtmlEventMap() const {
    static const std::vector<DHtmlEventMapEntry> none;
    return none;
}

const std::vector<DHtmlKeyMapEntry>& CDHtmlDialog::GetDHtmlKeyMap() const {
    static const std::vector<DHtmlKeyMapEntry> none;
    return none;
}

const CDHtmlDialog::MessageMap& CDHtmlDialog::GetMessageMap() const {
    static const MessageMap none;
    return none;
}

void CDHtmlDialog::ReportException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        AfxMessageBox("Out of memory.", MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    } catch (const std::exception& e) {
        AfxMessageBox(e.what(), MB_OK | MB_ICONSTOP);
    } catch (...) {
        AfxMessageBox("An unknown error occurred.", MB_OK | MB_ICONSTOP);
    }
}
