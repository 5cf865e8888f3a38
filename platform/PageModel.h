#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// What the host knows of one named element of the loaded page. The page's bridge keeps it
// current, so reading it never waits on the browser engine.
struct PageElement {
    QString tag;  // lower case: "div", "select", "textarea", ...
    QString innerText;
    QString value;
    int selectedIndex = -1;
    QStringList options;  // the option texts of a select
    QString backgroundColor;

    bool isSelect() const { return tag == QLatin1String("select"); }

    // Builds an element from the bridge's report: {tag, text, value, selectedIndex, options, bg}.
    static PageElement fromReport(const QVariantMap& report);
};

// The host's model of the loaded page: its named elements, or nothing while no page is loaded.
class PageModel {
public:
    bool isLoaded() const { return m_loaded; }
    const QString& url() const { return m_url; }

    // A new page has loaded with these elements.
    void load(const QString& url, QHash<QString, PageElement> elements);
    // The page is going away; until the next load every element is missing.
    void unload();

    const PageElement* find(const QString& id) const;
    PageElement* find(const QString& id);

private:
    bool m_loaded = false;
    QString m_url;
    QHash<QString, PageElement> m_elements;
};
