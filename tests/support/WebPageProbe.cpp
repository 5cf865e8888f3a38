#include "WebPageProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "DHtmlDialog.h"
#include "WebPageView.h"

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

WebPageProbe::WebPageProbe(CDHtmlDialog& dialog) : m_dialog(dialog) {}

QWebEnginePage* WebPageProbe::page() const {
    auto* view = dynamic_cast<WebPageView*>(m_dialog.View());
    return view ? view->webPage() : nullptr;
}

QWidget* WebPageProbe::input() const {
    auto* view = qobject_cast<QWebEngineView*>(m_dialog.View()->widget());
    return view->focusProxy() ? view->focusProxy() : view;
}

QVariant WebPageProbe::js(const QString& code) {
    QVariant result;
    bool done = false;
    page()->runJavaScript(code, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    WaitUntil([&] { return done; });
    return result;
}

QPoint WebPageProbe::centreOf(const QString& id) {
    const QVariantList xy = js(QStringLiteral("(function(){var r=document.getElementById('%1')"
                                              ".getBoundingClientRect();return [r.left+r.width/2,"
                                              "r.top+r.height/2];})()")
                                   .arg(id))
                                .toList();
    return xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint();
}

void WebPageProbe::press(const QString& id, Qt::MouseButton button) {
    const QPoint at = centreOf(id);
    QTest::mousePress(input(), button, {}, at);
    QTest::mouseRelease(input(), button, {}, at);
}

void WebPageProbe::typeInto(const QString& id, const QString& text) {
    press(id);
    QTest::keyClicks(input(), text);
}
