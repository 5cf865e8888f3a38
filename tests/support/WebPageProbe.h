#pragma once

#include <QPoint>
#include <QString>
#include <QVariant>
#include <functional>

class CDHtmlDialog;
class QWebEnginePage;
class QWidget;

// Runs the event loop until done() holds or the time is up; returns done().
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 15000);

// Looks into and operates a dialog's real page as a person (or a hostile page) would:
// scripts for reading what the page shows, mouse and keys for acting on it.
class WebPageProbe {
public:
    explicit WebPageProbe(CDHtmlDialog& dialog);

    QWebEnginePage* page() const;
    // The widget that takes the mouse and keyboard for the page.
    QWidget* input() const;
    QVariant js(const QString& code);
    QPoint centreOf(const QString& id);
    void press(const QString& id, Qt::MouseButton button = Qt::LeftButton);
    void typeInto(const QString& id, const QString& text);

private:
    CDHtmlDialog& m_dialog;
};
