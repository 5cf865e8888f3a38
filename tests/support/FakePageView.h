#pragma once

#include <QHash>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <memory>
#include <tuple>
#include <vector>

#include "PageView.h"

// Plays the browser's part for tests of the window logic: holds a page of named elements,
// echoes the host's writes as the real bridge does, and lets a test type, choose and click.
class FakePageView : public PageView {
public:
    struct Write {
        QString id;
        QString property;
        QVariant value;
    };

    void setCallbacks(Callbacks callbacks) override { m_callbacks = std::move(callbacks); }
    QWidget* widget() override { return nullptr; }
    void setHostFlags(unsigned flags) override { hostFlags = flags; }
    void load(const QUrl& url) override { loads.push_back(url); }
    void setElementProperty(const QString& id, const QString& property,
                            const QVariant& value) override;
    void focusElement(const QString& id) override { focused.push_back(id); }
    void bindElementEvent(const QString& id, const QString& type) override {
        bindings.emplace_back(id, type);
    }
    void claimKeys(const QStringList& chords) override { claimedKeys = chords; }
    // The operator presses a key chord; like the real bridge, the page tells the host only of
    // a claimed one. True when it was claimed.
    bool pressKey(const QString& chord) {
        if (!claimedKeys.contains(chord)) return false;
        if (m_callbacks.key) m_callbacks.key(chord);
        return true;
    }
    // Writes apply at once here.
    void whenApplied(std::function<void()> done) override { done(); }

    // The page last asked for finishes loading with these elements.
    void finishLoad(QHash<QString, PageElement> elements);
    // A report from a page the host did not ask for.
    void finishLoadOf(const QString& url, QHash<QString, PageElement> elements);
    // The operator types: the text box's value changes (and the page's script marks it).
    void type(const QString& id, const QString& value, bool marksModified = true);
    // The operator picks an option of a select; its change event follows.
    void choose(const QString& id, int index);
    // An event on an element, by name (bubbled to the page) or through an element binding.
    void fire(const QString& id, const QString& type, bool viaElement = false);

    // The renderer dies: the page is gone, unasked.
    void losePage() {
        if (m_callbacks.lost) m_callbacks.lost();
    }

    PageElement& element(const QString& id) { return page[id]; }

    QHash<QString, PageElement> page;
    std::vector<QUrl> loads;
    std::vector<Write> writes;
    std::vector<QString> focused;
    std::vector<std::pair<QString, QString>> bindings;
    QStringList claimedKeys;
    unsigned hostFlags = 0;

private:
    Callbacks m_callbacks;
};

// Stands in for the program's page-view factory while it lives: each dialog that asks for a
// page gets the next one handed in, or a fresh FakePageView when none is waiting.
class FakePageViews {
public:
    FakePageViews();
    ~FakePageViews();
    FakePageViews(const FakePageViews&) = delete;
    FakePageViews& operator=(const FakePageViews&) = delete;

    // Queues view for the next dialog and returns it.
    template <class View>
    View* next(std::unique_ptr<View> view) {
        View* given = view.get();
        m_waiting.push_back(std::move(view));
        return given;
    }
    FakePageView* next() { return next(std::make_unique<FakePageView>()); }

    // The page handed out last, with the dialog that took it.
    FakePageView* latest = nullptr;
    QWidget* latestOwner = nullptr;

private:
    std::vector<std::unique_ptr<FakePageView>> m_waiting;
};

// Element sets shaped like the program's pages.
QHash<QString, PageElement> MainPageElements();
QHash<QString, PageElement> MiniPageElements();
QHash<QString, PageElement> SetupPageElements();
