// The page host with the real browser engine: the main page from the resources, the
// exchanges, the event table, and the refusal of anything but the program's own pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>

#include "DHtmlDialog.h"
#include "DialogTemplate.h"
#include "EngineSettings.h"
#include "FakePageView.h"
#include "ResScheme.h"
#include "WebPageProbe.h"
#include "WebPageView.h"

namespace {

class HostedDialog : public CDHtmlDialog {
public:
    HostedDialog() : CDHtmlDialog(IDD_TESSORA_DIALOG, 104) {
        const auto record = [this](const char* what) {
            return [this, what](const DHtmlElement&) {
                UpdateData(true);
                events.push_back(std::string(what) + ":" + text);
            };
        };
        m_events = {
            {DHTMLEVENTMAPENTRY_NAME, DISPID_HTMLELEMENTEVENTS_ONMOUSEDOWN, "btnSend",
             record("send")},
            {DHTMLEVENTMAPENTRY_NAME, DISPID_HTMLELEMENTEVENTS_ONMOUSEDOWN, "tagSetup",
             record("setup")},
            {DHTMLEVENTMAPENTRY_ELEMENT, DISPID_HTMLELEMENTEVENTS_ONCHANGE, "cmbDate",
             record("date")},
        };
        m_keys = {{"Ctrl+Return", {}, [this] {
                       UpdateData(true);
                       events.push_back("key:" + text);
                   }}};
    }

    void start() {
        SetHostFlags(13);
        OnInitDialog();
        show();
    }
    void exchange(bool read) { UpdateData(read); }

    int completions = 0;
    int cancels = 0;
    std::string text, dirty, message, port;
    std::int32_t date = 0;
    std::vector<std::string> events;

protected:
    void OnDocumentComplete(const QString& url) override {
        CDHtmlDialog::OnDocumentComplete(url);
        ++completions;
    }
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_DHtml_ElementText(pDX, "scrText", DISPID_A_VALUE, text);
        DDX_DHtml_SelectIndex(pDX, "cmbDate", date);
        DDX_DHtml_ElementText(pDX, "divDirty", DISPID_IHTMLELEMENT_INNERTEXT, dirty);
        DDX_DHtml_ElementText(pDX, "divMessage", DISPID_IHTMLELEMENT_INNERTEXT, message);
    }
    const std::vector<DHtmlEventMapEntry>& GetDHtmlEventMap() const override { return m_events; }
    const std::vector<DHtmlKeyMapEntry>& GetDHtmlKeyMap() const override { return m_keys; }
    void OnCancel() override { ++cancels; }

private:
    std::vector<DHtmlEventMapEntry> m_events;
    std::vector<DHtmlKeyMapEntry> m_keys;
};

class RealPage : public ::testing::Test {
protected:
    void SetUp() override {
        dlg = std::make_unique<HostedDialog>();
        QObject::connect(dlg.get(), &CDHtmlDialog::pageReady, [this] { ++ready; });
        dlg->start();
        probe = std::make_unique<WebPageProbe>(*dlg);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        ASSERT_TRUE(WaitUntil([&] { return ready > 0; })) << "main page never taken up";
    }

    int ready = 0;
    std::unique_ptr<HostedDialog> dlg;
    std::unique_ptr<WebPageProbe> probe;
};

TEST_F(RealPage, MainPageAndAllItsPicturesLoadFromTheResources) {
    EXPECT_EQ(probe->js("document.title").toString(), "Tessora");
    EXPECT_EQ(probe->js("document.body.id").toString(), "CTessoraDlg");
    const int images = probe->js("document.images.length").toInt();
    EXPECT_EQ(images, 10);
    EXPECT_TRUE(WaitUntil([&] {
        return probe->js("Array.from(document.images).every(i => i.complete && i.naturalWidth > 0)")
            .toBool();
    })) << "a picture did not load";
    EXPECT_EQ(probe->js("document.getElementById('btnNew').naturalWidth").toInt(), 40);
    EXPECT_EQ(probe->js("getComputedStyle(document.body).overflow").toString(), "hidden");
}

TEST_F(RealPage, EachExchangeRoundTrips) {
    dlg->text = "Line one\nLine two \x80";
    dlg->date = 3;
    dlg->dirty = "dirty";
    dlg->message = "A message";
    dlg->exchange(false);
    ASSERT_TRUE(WaitUntil([&] {
        return probe->js("document.getElementById('divMessage').innerText").toString() ==
               "A message";
    }));
    EXPECT_EQ(probe->js("document.getElementById('scrText').value").toString(),
              QString::fromUtf8("Line one\nLine two €"));
    EXPECT_EQ(probe->js("document.getElementById('cmbDate').selectedIndex").toInt(), 3);
    EXPECT_EQ(probe->js("document.getElementById('divDirty').innerText").toString(), "dirty");

    dlg->text.clear();
    dlg->date = 0;
    dlg->dirty.clear();
    dlg->message.clear();
    dlg->exchange(true);
    EXPECT_EQ(dlg->text, "Line one\nLine two \x80");
    EXPECT_EQ(dlg->date, 3);
    EXPECT_EQ(dlg->dirty, "dirty");
    EXPECT_EQ(dlg->message, "A message");
}

TEST_F(RealPage, TypedTextIsReadByTheNextCommandWithoutWaiting) {
    dlg->text.clear();
    dlg->exchange(false);
    dlg->FocusElement("scrText");
    QTest::mouseClick(probe->input(), Qt::LeftButton, {}, probe->centreOf("scrText"));
    QTest::keyClicks(probe->input(), "Hello");
    // The press on Send is the next event after the keys: its handler reads the page at once.
    QTest::mousePress(probe->input(), Qt::LeftButton, {}, probe->centreOf("btnSend"));
    QTest::mouseRelease(probe->input(), Qt::LeftButton, {}, probe->centreOf("btnSend"));
    ASSERT_TRUE(WaitUntil([&] { return !dlg->events.empty(); }));
    EXPECT_EQ(dlg->events.front(), "send:Hello");
    dlg->exchange(true);
    EXPECT_EQ(dlg->dirty, "Dirty") << "keydown runs the page's modified marker";
}

TEST_F(RealPage, AnyMouseButtonOnALabelAndAnElementChangeReachTheTable) {
    QTest::mousePress(probe->input(), Qt::RightButton, {}, probe->centreOf("tagSetup"));
    QTest::mouseRelease(probe->input(), Qt::RightButton, {}, probe->centreOf("tagSetup"));
    ASSERT_TRUE(WaitUntil([&] { return dlg->events.size() == 1; }));
    EXPECT_EQ(dlg->events[0].rfind("setup:", 0), 0u);

    probe->js(
        "var s = document.getElementById('cmbDate'); s.selectedIndex = 2;"
        "s.dispatchEvent(new Event('change', {bubbles: true}));");
    ASSERT_TRUE(WaitUntil([&] { return dlg->events.size() == 2; }));
    EXPECT_EQ(dlg->events[1].rfind("date:", 0), 0u);
    EXPECT_EQ(dlg->date, 2) << "the new choice is in the model before the event";

    // A press outside any named element does nothing: the press on Send after it is the
    // next event to arrive.
    QTest::mousePress(probe->input(), Qt::LeftButton, {}, QPoint(600, 490));
    QTest::mouseRelease(probe->input(), Qt::LeftButton, {}, QPoint(600, 490));
    QTest::mousePress(probe->input(), Qt::LeftButton, {}, probe->centreOf("btnSend"));
    ASSERT_TRUE(WaitUntil([&] { return dlg->events.size() >= 3; }));
    EXPECT_EQ(dlg->events.size(), 3u);
    EXPECT_EQ(dlg->events[2].rfind("send:", 0), 0u);
}

TEST_F(RealPage, NavigationAwayIsRefused) {
    const QUrl before = probe->page()->url();
    for (const char* target :
         {"res://tessora.exe/157", "about:blank", "file:///etc/passwd", "data:text/html,hi"}) {
        probe->js(QStringLiteral("location.href = '%1'").arg(QLatin1String(target)));
        QTest::qWait(300);
        // Refused, or the program's own page put back at once.
        EXPECT_TRUE(WaitUntil([&] {
            return probe->page()->url() == before &&
                   probe->js("document.body ? document.body.id : ''").toString() == "CTessoraDlg";
        })) << target;
    }
    EXPECT_TRUE(WaitUntil([&] { return dlg->HasElement("scrText"); }));
}

TEST_F(RealPage, EscapeInsideThePageCancelsTheDialog) {
    dlg->FocusElement("scrText");
    QTest::mouseClick(probe->input(), Qt::LeftButton, {}, probe->centreOf("scrText"));
    QTest::keyClick(probe->input(), Qt::Key_Escape);
    EXPECT_TRUE(WaitUntil([&] { return dlg->cancels == 1; }));
}

// A claimed key reaches the window after the typing before it, and the page never sees it:
// no line in the text box and no modified marker, not even from the Ctrl that begins it.
// Every other key press reaches the page, a lone modifier included, and keys the window
// leaves alone still work in the text box.
TEST_F(RealPage, AClaimedKeyIsTheWindowsAloneAndComesAfterTheTyping) {
    dlg->text.clear();
    dlg->exchange(false);
    probe->typeInto("scrText", "Hello");
    QTest::keyClick(probe->input(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return !dlg->events.empty(); }));
    EXPECT_EQ(dlg->events.front(), "key:Hello");
    EXPECT_EQ(probe->js("document.getElementById('scrText').value").toString(), "Hello");

    dlg->dirty.clear();
    dlg->exchange(false);
    QTest::keyPress(probe->input(), Qt::Key_Control);
    QTest::keyClick(probe->input(), Qt::Key_Return, Qt::ControlModifier);
    QTest::keyRelease(probe->input(), Qt::Key_Control);
    ASSERT_TRUE(WaitUntil([&] { return dlg->events.size() == 2; }));
    EXPECT_EQ(probe->js("document.getElementById('divDirty').innerText").toString(), "");
    QTest::keyClick(probe->input(), Qt::Key_Shift);
    EXPECT_TRUE(WaitUntil([&] {
        return probe->js("document.getElementById('divDirty').innerText").toString() == "Dirty";
    })) << "a lone Shift no longer marks the text as changed";

    QTest::keyClick(probe->input(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(WaitUntil([&] {
        return probe->js("document.getElementById('scrText').selectionStart").toInt() == 0 &&
               probe->js("document.getElementById('scrText').selectionEnd").toInt() == 5;
    })) << "Ctrl+A no longer selects the text";
}

// The caret blinks while the operator works and rests on once left alone. The engine's own
// caret never blinks: at rest the picture stands still, with the caret drawn.
TEST_F(RealPage, TheCaretBlinksWhileInUseAndRestsOnWhenLeftAlone) {
    dlg->activateWindow();  // a caret is drawn only in the active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    const QPoint inText = probe->centreOf("scrText");
    QTest::mouseClick(probe->input(), Qt::LeftButton, {}, inText);
    const auto caretOff = [&] {
        return probe->js("getComputedStyle(document.getElementById('scrText')).caretColor")
                   .toString() == "rgba(0, 0, 0, 0)";
    };
    ASSERT_TRUE(WaitUntil(caretOff, 3000)) << "the caret does not blink";

    QElapsedTimer sinceOff;
    sinceOff.start();
    ASSERT_TRUE(WaitUntil([&] {
        if (caretOff()) sinceOff.restart();
        return sinceOff.elapsed() > 1500;
    })) << "the caret never rests";
    const QImage rest = dlg->grab().toImage();
    QElapsedTimer watched;
    watched.start();
    int changed = 0;
    WaitUntil([&] {
        changed += dlg->grab().toImage() != rest;
        return watched.elapsed() > 1200;
    });
    EXPECT_EQ(changed, 0) << "the caret at rest does not stand still";
    probe->js("document.getElementById('scrText').style.caretColor = 'transparent'");
    EXPECT_TRUE(WaitUntil([&] { return dlg->grab().toImage() != rest; }, 3000))
        << "no caret is drawn at rest";
    probe->js("document.getElementById('scrText').style.caretColor = ''");
    ASSERT_TRUE(WaitUntil([&] { return dlg->grab().toImage() == rest; }, 3000));

    QTest::mouseClick(probe->input(), Qt::LeftButton, {}, inText);
    EXPECT_TRUE(WaitUntil([&] { return dlg->grab().toImage() != rest; }, 3000))
        << "a click does not start the blink again";

    // A key shows the caret at once, in whichever phase it comes.
    probe->js(
        "document.addEventListener('keyup', function () { window.caretAtKeyUp ="
        " getComputedStyle(document.getElementById('scrText')).caretColor; })");
    ASSERT_TRUE(WaitUntil(caretOff, 3000));
    QTest::keyClick(probe->input(), Qt::Key_End);
    ASSERT_TRUE(WaitUntil([&] { return probe->js("window.caretAtKeyUp").isValid(); }));
    EXPECT_NE(probe->js("window.caretAtKeyUp").toString().toStdString(), "rgba(0, 0, 0, 0)");
}

TEST_F(RealPage, MalformedBridgeMessagesFromAPageAreHarmless) {
    // A page that talks to the host on its own channel, with unknown ids, wrong types and
    // huge strings.
    probe->js(R"(
        new QWebChannel(qt.webChannelTransport, function (ch) {
            var h = ch.objects.tessoraHost, huge = 'x'.repeat(8 * 1024 * 1024);
            h.pageEvent(12345, null, 'yes', 'not a map');
            h.pageEvent('noSuchElement', 'mousedown', false, {});
            h.pageEvent('btnSend', 'mousedown', true, {tag: 7, selectedIndex: 'abc', options: 3});
            h.pageEvent(huge, huge, false, {text: huge});
            h.elementChanged('noSuchId', {text: huge});
            h.elementChanged('cmbDate', {tag: 'select', selectedIndex: 1e12, options: [huge]});
            h.elementChanged(null, null);
            h.pageLoaded('res://tessora.exe/157', 'garbage');
            h.pageLoaded(42, [1, 2, 3]);
            // A well-formed press last: the channel keeps order, so once it has arrived
            // everything above has been handled.
            h.pageEvent('tagSetup', 'mousedown', false, {tag: 'span'});
        });
    )");
    ASSERT_TRUE(WaitUntil([&] { return !dlg->events.empty(); }));
    ASSERT_EQ(dlg->events.size(), 1u) << "no row matched any of the garbage";
    EXPECT_EQ(dlg->events[0].rfind("setup:", 0), 0u);
    EXPECT_TRUE(dlg->HasElement("scrText")) << "the page is still the one loaded";
    dlg->text = "still working";
    dlg->date = 2;
    dlg->exchange(false);
    dlg->text.clear();
    dlg->exchange(true);
    EXPECT_EQ(dlg->text, "still working");
}

TEST_F(RealPage, TheOtherPagesLoadOnRequest) {
    dlg->LoadFromResource(157);
    ASSERT_TRUE(WaitUntil([&] { return dlg->completions == 2; }));
    EXPECT_TRUE(dlg->HasElement("tagToggle"));
    EXPECT_FALSE(dlg->HasElement("scrText"));
    dlg->LoadFromResource(103);
    ASSERT_TRUE(WaitUntil([&] { return dlg->completions == 3; }));
    EXPECT_TRUE(dlg->HasElement("cmbPort"));
}

// Each page taken up is announced once the bridge of that document has answered a round
// trip, the first page and every one after it.
TEST_F(RealPage, EveryPageTakenUpIsAnnouncedAfterARoundTripThroughItsBridge) {
    ASSERT_EQ(ready, 1);
    for (const int resource : {157, 103, 104}) {
        const int before = ready;
        dlg->LoadFromResource(resource);
        ASSERT_TRUE(WaitUntil([&] { return ready == before + 1; })) << resource;
    }
    EXPECT_TRUE(dlg->HasElement("scrText"));
}

// The stand-in pages the window tests run on must be the real pages' twins: the same named
// elements, of the same kinds, with the same lists and the texts the stand-ins give. Values
// and selections are taken as the page's source has them, before the host wrote to them.
TEST_F(RealPage, TheStandInPagesNameWhatTheRealPagesHold) {
    const struct {
        int resource;
        QHash<QString, PageElement> standIn;
    } pages[] = {{104, MainPageElements()}, {157, MiniPageElements()}, {103, SetupPageElements()}};
    int completions = dlg->completions;
    for (const auto& [resource, standIn] : pages) {
        SCOPED_TRACE(resource);
        if (resource != 104) {
            dlg->LoadFromResource(resource);
            ASSERT_TRUE(WaitUntil([&] { return dlg->completions == completions + 1; }));
            completions = dlg->completions;
        }
        const QVariantMap real = probe
                                     ->js(R"(
            (function () {
                var all = {};
                document.querySelectorAll('[id]').forEach(function (el) {
                    var tag = el.tagName.toLowerCase();
                    all[el.id] = {
                        tag: tag,
                        text: String(el.innerText === undefined ? '' : el.innerText),
                        value: 'defaultValue' in el ? String(el.defaultValue) : '',
                        selectedIndex: tag === 'select'
                            ? Math.max(0, Array.from(el.options).findIndex(function (o) {
                                  return o.defaultSelected; }))
                            : -1,
                        options: tag === 'select'
                            ? Array.from(el.options).map(function (o) { return o.text; }) : []
                    };
                });
                return all;
            })())")
                                     .toMap();
        QStringList realIds = real.keys(), standInIds = standIn.keys();
        realIds.sort();
        standInIds.sort();
        EXPECT_EQ(standInIds, realIds);
        for (auto it = standIn.constBegin(); it != standIn.constEnd(); ++it) {
            if (!real.contains(it.key())) continue;
            const QVariantMap element = real.value(it.key()).toMap();
            const PageElement& fake = it.value();
            EXPECT_EQ(fake.tag, element.value("tag").toString()) << it.key().toStdString();
            EXPECT_EQ(fake.options, element.value("options").toStringList())
                << it.key().toStdString();
            EXPECT_EQ(fake.selectedIndex, element.value("selectedIndex").toInt())
                << it.key().toStdString();
            if (!fake.innerText.isEmpty()) {
                EXPECT_EQ(fake.innerText, element.value("text").toString())
                    << it.key().toStdString();
            }
            if (!fake.value.isEmpty() && !fake.isSelect()) {
                EXPECT_EQ(fake.value, element.value("value").toString()) << it.key().toStdString();
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    ApplyEngineSettings();  // the rendering path the program itself takes
    RegisterResScheme();
    UseWebPages();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
