#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <functional>
#include <memory>

#include "PageModel.h"

class QWidget;

// The browser side of the page host. The real one is a web view with a bridge script; tests
// use one that plays the page's part. All calls and callbacks happen on the window thread,
// and the callbacks arrive in the order the page raised them.
class PageView {
public:
    struct Callbacks {
        // The page at url finished loading; elements are its named elements.
        std::function<void(const QString& url, QHash<QString, PageElement> elements)> loaded;
        // A named element changed (typing, a selection, a script edit, a host write).
        std::function<void(const QString& id, const PageElement& state)> changed;
        // An event on the page: the element it came from, its type ("mousedown", "click",
        // "change"), whether it came through an element binding, and the element's state.
        std::function<void(const QString& id, const QString& type, bool viaElement,
                           const PageElement& state)>
            event;
        // Escape was pressed inside the page.
        std::function<void()> cancel;
        // The page is gone without being asked (its renderer died); nothing it held remains.
        std::function<void()> lost;
        // A key chord the host claimed was pressed on the page ("Ctrl+Return", "F2"); the page
        // itself saw nothing of it.
        std::function<void(const QString& chord)> key;
    };

    virtual ~PageView() = default;

    virtual void setCallbacks(Callbacks callbacks) = 0;
    // The widget that fills the dialog's client area, or null when there is none.
    virtual QWidget* widget() = 0;
    virtual void setHostFlags(unsigned flags) = 0;
    virtual void load(const QUrl& url) = 0;
    // Sets a property of a named element: "innerText", "value", "selectedIndex",
    // "backgroundColor"; the page reports the element's new state back.
    virtual void setElementProperty(const QString& id, const QString& property,
                                    const QVariant& value) = 0;
    virtual void focusElement(const QString& id) = 0;
    // Connects an event of the element itself (for events bound to an element, not by name).
    virtual void bindElementEvent(const QString& id, const QString& type) = 0;
    // The key chords the host takes from the loaded page, named as "Ctrl+Return", "Ctrl+1",
    // "F2": each press of one is reported to the key callback instead of reaching the page.
    virtual void claimKeys(const QStringList& chords) = 0;
    // Calls done once the page has applied every write, focus and binding asked for so far.
    virtual void whenApplied(std::function<void()> done) = 0;
};

// Makes the browser side of each page-hosting dialog, given the dialog that will own it. Set
// once at start (the program sets the web view; tests set stand-in pages); with none set,
// dialogs have no page and their exchanges do nothing.
using PageViewFactory = std::function<std::unique_ptr<PageView>(QWidget* owner)>;
void SetPageViewFactory(PageViewFactory factory);
std::unique_ptr<PageView> MakePageView(QWidget* owner);
