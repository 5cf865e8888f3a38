#include "FakePageView.h"

FakePageViews::FakePageViews() {
    SetPageViewFactory([this](QWidget* owner) -> std::unique_ptr<PageView> {
        std::unique_ptr<FakePageView> view;
        if (m_waiting.empty()) {
            view = std::make_unique<FakePageView>();
        } else {
            view = std::move(m_waiting.front());
            m_waiting.erase(m_waiting.begin());
        }
        latest = view.get();
        latestOwner = owner;
        return view;
    });
}

FakePageViews::~FakePageViews() {
    SetPageViewFactory({});
}

void FakePageView::setElementProperty(const QString& id, const QString& property,
                                      const QVariant& value) {
    writes.push_back({id, property, value});
    auto it = page.find(id);
    if (it == page.end()) return;
    if (property == QLatin1String("innerText")) it->innerText = value.toString();
    if (property == QLatin1String("value")) it->value = value.toString();
    if (property == QLatin1String("selectedIndex")) it->selectedIndex = value.toInt();
    if (property == QLatin1String("backgroundColor")) it->backgroundColor = value.toString();
    if (m_callbacks.changed) m_callbacks.changed(id, *it);
}

void FakePageView::finishLoad(QHash<QString, PageElement> elements) {
    finishLoadOf(loads.empty() ? QString() : loads.back().toString(), std::move(elements));
}

void FakePageView::finishLoadOf(const QString& url, QHash<QString, PageElement> elements) {
    page = std::move(elements);
    if (m_callbacks.loaded) m_callbacks.loaded(url, page);
}

void FakePageView::type(const QString& id, const QString& value, bool marksModified) {
    page[id].value = value;
    if (m_callbacks.changed) m_callbacks.changed(id, page[id]);
    if (marksModified && page.contains(QStringLiteral("divDirty"))) {
        page[QStringLiteral("divDirty")].innerText = QStringLiteral("Dirty");
        if (m_callbacks.changed)
            m_callbacks.changed(QStringLiteral("divDirty"), page[QStringLiteral("divDirty")]);
    }
}

void FakePageView::choose(const QString& id, int index) {
    page[id].selectedIndex = index;
    if (m_callbacks.changed) m_callbacks.changed(id, page[id]);
    fire(id, QStringLiteral("change"), true);
    fire(id, QStringLiteral("change"), false);
}

void FakePageView::fire(const QString& id, const QString& type, bool viaElement) {
    if (m_callbacks.event) m_callbacks.event(id, type, viaElement, page.value(id));
}

namespace {

PageElement element(const char* tag, const QString& text = {}) {
    PageElement e;
    e.tag = QString::fromLatin1(tag);
    e.innerText = text;
    return e;
}

PageElement select(QStringList options, int selected) {
    PageElement e = element("select");
    e.options = std::move(options);
    e.selectedIndex = selected;
    e.value = QString::number(selected);
    return e;
}

}  // namespace

QHash<QString, PageElement> MainPageElements() {
    const QStringList corners{QStringLiteral("None"), QStringLiteral("Top Left"),
                              QStringLiteral("Top Right"), QStringLiteral("Bottom Left"),
                              QStringLiteral("Bottom Right")};
    QHash<QString, PageElement> page;
    page[QStringLiteral("CTessoraDlg")] = element("body");
    page[QStringLiteral("divDirty")] = element("div");
    page[QStringLiteral("page")] = element("div");
    for (int i = 1; i <= 4; ++i)
        page[QStringLiteral("Screen%1").arg(i)] = element("div", QString::number(i));
    for (const char* id : {"btnNew", "btnOpen", "btnSave", "btnSetup", "btnToggle"})
        page[QString::fromLatin1(id)] = element("img");
    for (const char* id : {"tagNew", "tagOpen", "tagSave", "tagSetup", "tagToggle"})
        page[QString::fromLatin1(id)] = element("div");
    PageElement text = element("textarea");
    text.value = QStringLiteral("Insert Text Here");
    page[QStringLiteral("scrText")] = text;
    page[QStringLiteral("cmbDate")] = select(corners, 0);
    page[QStringLiteral("cmbTime")] = select(corners, 0);
    page[QStringLiteral("btnClear")] = element("button", QStringLiteral("Clear Tessora"));
    page[QStringLiteral("btnSend")] = element("button", QStringLiteral("Send to Tessora"));
    page[QStringLiteral("divMessage")] = element("div");
    return page;
}

QHash<QString, PageElement> MiniPageElements() {
    QHash<QString, PageElement> page;
    page[QStringLiteral("tagToggle")] = element("div", QStringLiteral("Restore Tessora"));
    return page;
}

QHash<QString, PageElement> SetupPageElements() {
    QHash<QString, PageElement> page;
    page[QStringLiteral("CSetupDlg")] = element("body");
    page[QStringLiteral("cmbPort")] = select({QStringLiteral("COM1"), QStringLiteral("COM2"),
                                              QStringLiteral("COM3"), QStringLiteral("COM4")},
                                             0);
    page[QStringLiteral("txtStatus")] = element("input");
    page[QStringLiteral("DIV1")] = element("div");
    page[QStringLiteral("cmbFormat")] =
        select({QStringLiteral("Halvercrest"), QStringLiteral("Generic ASCII"),
                QStringLiteral("Legacy 7-bit")},
               0);
    page[QStringLiteral("cmbBackup")] =
        select({QStringLiteral("None"), QStringLiteral("COM1"), QStringLiteral("COM2"),
                QStringLiteral("COM3"), QStringLiteral("COM4")},
               0);
    page[QStringLiteral("txtBackupStatus")] = element("input");
    PageElement ok = element("input");
    ok.value = QStringLiteral("OK");
    page[QStringLiteral("btnOK")] = ok;
    return page;
}
