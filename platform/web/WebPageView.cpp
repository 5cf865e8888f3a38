#include "WebPageView.h"

#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QStyleHints>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "ResScheme.h"
#include "WindowTypes.h"

// Only the pages the host itself asks for may load: a link, a dropped file or a script
// navigation would put something else in front of the operator.
class GuardedPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

    void expect(const QUrl& url) { m_expected = url; }
    const QUrl& expected() const { return m_expected; }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return isMainFrame && url.scheme() == QLatin1String(kResScheme) &&
               url.matches(m_expected, QUrl::None);
    }

private:
    QUrl m_expected;
};

namespace {

// As long as the desktop's caret blinks, and then it rests on: GTK's blink timeout.
constexpr int kCaretRestsAfterMs = 10000;

// The engine takes the caret's blink from the desktop's flash time when a page loads, and
// then blinks it every half period for as long as the page has the focus: two frames a
// second through the whole drawing path, most of what the program costs at rest. It is
// given none while it loads, so it draws a steady caret; the page's caret script blinks it
// instead, and lets it rest. Qt's own widgets keep the desktop's blink.
class SteadyEngineCaret {
public:
    SteadyEngineCaret() { QGuiApplication::styleHints()->setCursorFlashTime(0); }
    // The program sets no flash time of its own: back to the desktop's.
    ~SteadyEngineCaret() { QGuiApplication::styleHints()->setCursorFlashTime(-1); }
    SteadyEngineCaret(const SteadyEngineCaret&) = delete;
    SteadyEngineCaret& operator=(const SteadyEngineCaret&) = delete;
};

QString readResource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

QHash<QString, PageElement> elementsFromReport(const QVariantMap& report) {
    QHash<QString, PageElement> elements;
    for (auto it = report.constBegin(); it != report.constEnd(); ++it)
        elements.insert(it.key(), PageElement::fromReport(it.value().toMap()));
    return elements;
}

}  // namespace

WebPageView::WebPageView(QWidget* parent) : QObject(parent) {
    InstallResScheme(QWebEngineProfile::defaultProfile());
    m_view = new QWebEngineView(parent);
    m_page = new GuardedPage(m_view);
    m_view->setPage(m_page);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_view->setAcceptDrops(false);
    m_channel = new QWebChannel(this);
    m_channel->registerObject(QStringLiteral("tessoraHost"), this);
    m_page->setWebChannel(m_channel);
    QWebEngineSettings* settings = m_page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, true);
    installBridge();
    // Queued: the engine is still tearing the dead renderer down when it says so.
    connect(
        m_page, &QWebEnginePage::renderProcessTerminated, this,
        [this] {
            // Nothing will answer for the dead page; what waited on it may go on.
            answerAll();
            if (m_callbacks.lost) m_callbacks.lost();
        },
        Qt::QueuedConnection);
    // Some navigations (about:blank, for one) never ask: put the host's page back.
    connect(m_page, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        if (!m_page->expected().isEmpty() && !url.matches(m_page->expected(), QUrl::None))
            loadWithSteadyCaret(m_page->expected());
    });
}

WebPageView::~WebPageView() = default;

void WebPageView::setCallbacks(Callbacks callbacks) {
    m_callbacks = std::move(callbacks);
}

QWidget* WebPageView::widget() {
    return m_view;
}

QWebEnginePage* WebPageView::webPage() const {
    return m_page;
}

void WebPageView::setHostFlags(unsigned flags) {
    m_flags = flags;
    m_page->settings()->setAttribute(QWebEngineSettings::ShowScrollBars,
                                     !(flags & DOCHOSTUIFLAG_SCROLL_NO));
}

void WebPageView::installBridge() {
    QWebEngineScriptCollection& scripts = m_page->scripts();
    for (const QWebEngineScript& old : scripts.find(QStringLiteral("tessora-bridge")))
        scripts.remove(old);
    QWebEngineScript script;
    script.setName(QStringLiteral("tessora-bridge"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    const QString caretBlink =
        QStringLiteral("window.__tessoraCaretBlink = {halfPeriod: %1, stopAfter: %2};\n")
            .arg(QGuiApplication::styleHints()->cursorFlashTime() / 2)
            .arg(kCaretRestsAfterMs);
    script.setSourceCode(caretBlink + readResource(QStringLiteral(":/platform/caret.js")) +
                         QLatin1Char('\n') +
                         readResource(QStringLiteral(":/qtwebchannel/qwebchannel.js")) +
                         QLatin1Char('\n') + readResource(QStringLiteral(":/platform/bridge.js")));
    scripts.insert(script);
}

void WebPageView::load(const QUrl& url) {
    m_page->expect(url);
    loadWithSteadyCaret(url);
}

void WebPageView::loadWithSteadyCaret(const QUrl& url) {
    const SteadyEngineCaret steady;
    m_view->load(url);
}

void WebPageView::setElementProperty(const QString& id, const QString& property,
                                     const QVariant& value) {
    emit applyRequested(id, property, value);
}

void WebPageView::focusElement(const QString& id) {
    m_view->setFocus();
    emit focusRequested(id);
}

void WebPageView::bindElementEvent(const QString& id, const QString& type) {
    emit bindRequested(id, type);
}

void WebPageView::claimKeys(const QStringList& chords) {
    emit keysClaimed(chords);
}

void WebPageView::whenApplied(std::function<void()> done) {
    // The channel keeps order: the answer comes after everything sent before the request.
    const int sequence = m_nextSequence++;
    m_waiting.emplace(sequence, std::move(done));
    emit roundTripRequested(sequence);
}

void WebPageView::applied(int sequence) {
    const auto it = m_waiting.find(sequence);
    if (it == m_waiting.end()) return;  // answered already, or never asked
    const std::function<void()> done = std::move(it->second);
    m_waiting.erase(it);
    done();
}

void WebPageView::bridgeConnected() {
    for (const auto& [sequence, done] : m_waiting) emit roundTripRequested(sequence);
}

void WebPageView::answerAll() {
    std::map<int, std::function<void()>> waiting;
    waiting.swap(m_waiting);
    for (auto& [sequence, done] : waiting) done();
}

void WebPageView::pageLoaded(const QString& url, const QVariantMap& elements) {
    if (m_callbacks.loaded) m_callbacks.loaded(url, elementsFromReport(elements));
}

void WebPageView::elementChanged(const QString& id, const QVariantMap& state) {
    if (m_callbacks.changed) m_callbacks.changed(id, PageElement::fromReport(state));
}

void WebPageView::pageEvent(const QString& id, const QString& type, bool viaElement,
                            const QVariantMap& state) {
    if (m_callbacks.event) m_callbacks.event(id, type, viaElement, PageElement::fromReport(state));
}

void WebPageView::cancelRequested() {
    if (m_callbacks.cancel) m_callbacks.cancel();
}

void WebPageView::keyPressed(const QString& chord) {
    if (m_callbacks.key) m_callbacks.key(chord);
}

void UseWebPages() {
    SetPageViewFactory([](QWidget* owner) { return std::make_unique<WebPageView>(owner); });
}
