#pragma once

#include <QObject>
#include <QVariantMap>
#include <functional>
#include <map>

#include "PageView.h"

class QWebEngineView;
class QWebEnginePage;
class QWebChannel;
class GuardedPage;

// The page host's browser: a web view showing res: pages, with the bridge script injected
// into every page so that the window sees each element change and event as it happens.
// The web channel is the one way between them: the bridge calls the invokables below, and
// the host's writes, focus, bindings and round trips reach the page as this object's
// signals, which the bridge connects to.
class WebPageView : public QObject, public PageView {
    Q_OBJECT
    // The dialog's DOCHOSTUIFLAG_* flags, read by the bridge when it connects.
    Q_PROPERTY(unsigned hostFlags READ hostFlags CONSTANT)
public:
    explicit WebPageView(QWidget* parent);
    ~WebPageView() override;

    void setCallbacks(Callbacks callbacks) override;
    QWidget* widget() override;
    void setHostFlags(unsigned flags) override;
    void load(const QUrl& url) override;
    void setElementProperty(const QString& id, const QString& property,
                            const QVariant& value) override;
    void focusElement(const QString& id) override;
    void bindElementEvent(const QString& id, const QString& type) override;
    void claimKeys(const QStringList& chords) override;
    void whenApplied(std::function<void()> done) override;

    // The engine's page, for tests that script it as a person or a hostile page would.
    QWebEnginePage* webPage() const;
    unsigned hostFlags() const { return m_flags; }

    // Called by the bridge script through the web channel.
    Q_INVOKABLE void pageLoaded(const QString& url, const QVariantMap& elements);
    Q_INVOKABLE void elementChanged(const QString& id, const QVariantMap& state);
    Q_INVOKABLE void pageEvent(const QString& id, const QString& type, bool viaElement,
                               const QVariantMap& state);
    Q_INVOKABLE void cancelRequested();
    Q_INVOKABLE void keyPressed(const QString& chord);
    // The bridge of a new document has connected: round trips asked of the one before it
    // are asked again, so none waits for a page that is gone.
    Q_INVOKABLE void bridgeConnected();
    // The bridge has handled everything sent before round trip sequence.
    Q_INVOKABLE void applied(int sequence);

signals:
    void applyRequested(const QString& id, const QString& property, const QVariant& value);
    void focusRequested(const QString& id);
    void bindRequested(const QString& id, const QString& type);
    void keysClaimed(const QStringList& chords);
    void roundTripRequested(int sequence);

private:
    void installBridge();
    void loadWithSteadyCaret(const QUrl& url);
    void answerAll();

    Callbacks m_callbacks;
    QWebEngineView* m_view = nullptr;
    GuardedPage* m_page = nullptr;
    QWebChannel* m_channel = nullptr;
    unsigned m_flags = 0;
    int m_nextSequence = 0;
    std::map<int, std::function<void()>> m_waiting;  // round trips not yet answered
};

// Makes every page-hosting dialog show its page in a web view with the bridge.
void UseWebPages();
