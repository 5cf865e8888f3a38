#pragma once

#include <QObject>
#include <QVariantMap>

#include "PageView.h"

class QWebEngineView;
class QWebEnginePage;
class QWebChannel;
class GuardedPage;

// The page host's browser: a web view showing res: pages, with the bridge script injected
// into every page so that the window sees each element change and event as it happens.
class WebPageView : public QObject, public PageView {
    Q_OBJECT
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
    void whenApplied(std::function<void()> done) override;

    // The engine's page, for tests that script it as a person or a hostile page would.
    QWebEnginePage* webPage() const;

    // Called by the bridge script through the web channel.
    Q_INVOKABLE void pageLoaded(const QString& url, const QVariantMap& elements);
    Q_INVOKABLE void elementChanged(const QString& id, const QVariantMap& state);
    Q_INVOKABLE void pageEvent(const QString& id, const QString& type, bool viaElement,
                               const QVariantMap& state);
    Q_INVOKABLE void cancelRequested();

private:
    void installBridge();
    void runScript(const QString& call);

    Callbacks m_callbacks;
    QWebEngineView* m_view = nullptr;
    GuardedPage* m_page = nullptr;
    QWebChannel* m_channel = nullptr;
    unsigned m_flags = 0;
};

// Makes every page-hosting dialog show its page in a web view with the bridge.
void UseWebPages();
