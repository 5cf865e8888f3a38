#include "PageModel.h"

PageElement PageElement::fromReport(const QVariantMap& report) {
    PageElement e;
    e.tag = report.value(QStringLiteral("tag")).toString().toLower();
    e.innerText = report.value(QStringLiteral("text")).toString();
    e.value = report.value(QStringLiteral("value")).toString();
    bool ok = false;
    const int index = report.value(QStringLiteral("selectedIndex")).toInt(&ok);
    e.selectedIndex = ok ? index : -1;
    e.options = report.value(QStringLiteral("options")).toStringList();
    e.backgroundColor = report.value(QStringLiteral("bg")).toString();
    return e;
}

void PageModel::load(const QString& url, QHash<QString, PageElement> elements) {
    m_loaded = true;
    m_url = url;
    m_elements = std::move(elements);
}

void PageModel::unload() {
    m_loaded = false;
    m_url.clear();
    m_elements.clear();
}

const PageElement* PageModel::find(const QString& id) const {
    if (!m_loaded) return nullptr;
    auto it = m_elements.constFind(id);
    return it == m_elements.constEnd() ? nullptr : &*it;
}

PageElement* PageModel::find(const QString& id) {
    if (!m_loaded) return nullptr;
    auto it = m_elements.find(id);
    return it == m_elements.end() ? nullptr : &*it;
}
