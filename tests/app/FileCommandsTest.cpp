// New, Open and Save on a stand-in page, with file dialogs and message boxes answered by the
// test; and the real file dialog driven as an operator would.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "AppTestSupport.h"
#include "DocumentFile.h"
#include "Exceptions.h"
#include "FileBytes.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "Messages.h"
#include "RunUnprivileged.h"

namespace fs = std::filesystem;

namespace {

using Box = std::pair<std::string, unsigned>;
using Boxes = std::vector<Box>;

constexpr char kPrompt[] = "Save changes to the current file?";
const Box kSaveFailedBox{"Could not save to file!", MB_OK};
const QString kUntitled = QStringLiteral("Halvercrest Pexalune - untitled");

CTessoraFile Show() {
    CTessoraFile doc;
    doc.m_nTime1 = 3;
    doc.m_nDate1 = 2;
    doc.m_strText1 = "Evening news";
    doc.m_strText2 = "Weather";
    doc.m_nDate4 = 4;
    doc.m_strText4 = "Sport";
    return doc;
}

// What the file commands may change.
struct SessionState {
    QString title;
    bool dirty;
    int screen;
    CTessoraFile doc;
    QString text;
    QString marker;
};

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        char pattern[] = "/tmp/file-commands-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        fs::permissions(folder, fs::perms::all);  // reachable by an unprivileged child
        SetFileDialogHook([this](FileDialogKind kind) {
            dialogs.push_back(kind);
            if (choices.empty()) return std::optional<std::string>();
            std::optional<std::string> choice = choices.front();
            choices.pop_front();
            return choice;
        });
        w.start();
        page = w.view;
        w.boxes.clear();  // the closed port's message
    }

    void TearDown() override {
        SetFileDialogHook({});
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (!entry.is_symlink())
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
    }

    // A press on a page button, run by the message loop as the program runs it.
    void press(const char* id) {
        page->fire(QString::fromLatin1(id), QStringLiteral("mousedown"));
        w.runPostedMessages();
    }
    // A close request (Escape, the close box) through the dialog's own dispatch.
    void requestClose() { static_cast<QDialog&>(*w.dlg).reject(); }
    bool closed() const { return w.dlg->Session().Port() == nullptr; }

    // Text in screen 1, then screen 3 typed into and left current with no exchange with the
    // page since.
    void typeTwoScreens() {
        page->type(QStringLiteral("scrText"), QStringLiteral("first"));
        press("Screen3");
        page->type(QStringLiteral("scrText"), QStringLiteral("third"));
    }
    CTessoraFile typedSet() const {
        CTessoraFile doc;
        doc.m_strText1 = "first";
        doc.m_strText3 = "third";
        return doc;
    }

    SessionState state() {
        return {w.dlg->windowTitle(),
                w.dlg->Session().Modified(),
                w.dlg->Session().Screen() + 1,  // as the tabs number them
                w.dlg->Session().Screens(),
                page->page["scrText"].value,
                page->page["divDirty"].innerText};
    }
    void expectState(const SessionState& expected) {
        const SessionState now = state();
        EXPECT_EQ(now.title, expected.title);
        EXPECT_EQ(now.dirty, expected.dirty);
        EXPECT_EQ(now.screen, expected.screen);
        EXPECT_EQ(now.doc, expected.doc);
        EXPECT_EQ(now.text, expected.text);
        EXPECT_EQ(now.marker, expected.marker);
    }
    QString tabColour(int tab) {
        return page->page[QStringLiteral("Screen%1").arg(tab)].backgroundColor;
    }
    std::string at(const char* name) const { return (folder / name).string(); }
    // Names in the folder other than the expected ones: leftovers of a save.
    std::vector<std::string> strays(const std::vector<std::string>& expected) const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (std::find(expected.begin(), expected.end(), name) == expected.end())
                found.push_back(name);
        }
        return found;
    }

    MainWindowFixture w;
    FakePageView* page = nullptr;
    fs::path folder;
    std::deque<std::optional<std::string>> choices;  // dialog answers in order; then cancel
    std::vector<FileDialogKind> dialogs;
};

TEST_F(FileCommands, SaveWritesWhatIsTypedAndKeepsTheScreen) {
    typeTwoScreens();
    choices = {at("news.old.tso")};
    press("btnSave");
    EXPECT_EQ(w.boxes, Boxes{});
    EXPECT_EQ(dialogs, std::vector{FileDialogKind::Save});
    CTessoraFile saved;
    ASSERT_TRUE(LoadDocument(at("news.old.tso"), saved));
    EXPECT_EQ(saved, typedSet()) << "text typed with no change of screen is in the file";
    expectState({"Halvercrest Pexalune - news.old", false, 4, typedSet(), "third", ""});
    EXPECT_EQ(strays({"news.old.tso"}), std::vector<std::string>{});
}

TEST_F(FileCommands, OpenAnsweredNoReplacesAllScreensAndShowsScreenOne) {
    ASSERT_TRUE(SaveDocument(Show(), at("show.tso")));
    typeTwoScreens();
    w.answers = {IDNO};
    choices = {at("show.tso")};
    press("btnOpen");
    EXPECT_EQ(w.boxes, (Boxes{{kPrompt, MB_YESNO | MB_ICONSTOP}}));
    expectState({"Halvercrest Pexalune - show", false, 2, Show(), "Evening news", ""});
    EXPECT_EQ(page->page["cmbDate"].selectedIndex, 2);
    EXPECT_EQ(page->page["cmbTime"].selectedIndex, 3);
    EXPECT_EQ(tabColour(1), "#666699");
    EXPECT_EQ(tabColour(3), "#333399");
}

TEST_F(FileCommands, OpenLeavesOutControlCharactersAndStrayCornersButNotOnDisk) {
    CTessoraFile hostile;
    hostile.Text(0) = "News\x1B[2J at ten\x07";
    hostile.DateCorner(0) = 7;
    hostile.TimeCorner(0) = 3;
    ASSERT_TRUE(SaveDocument(hostile, at("hostile.tso")));
    choices = {at("hostile.tso")};
    press("btnOpen");
    w.runPostedMessages();
    EXPECT_EQ(w.dlg->Session().Screens().Text(0), "News[2J at ten");
    EXPECT_EQ(page->page["scrText"].value, "News[2J at ten");
    EXPECT_EQ(page->page["cmbDate"].selectedIndex, 0) << "a corner of 7 reads as None";
    EXPECT_EQ(page->page["cmbTime"].selectedIndex, 3);
    EXPECT_FALSE(w.dlg->Session().Modified());
    CTessoraFile onDisk;
    ASSERT_TRUE(LoadDocument(at("hostile.tso"), onDisk));
    EXPECT_EQ(onDisk, hostile) << "the file keeps its bytes until saved";
}

TEST_F(FileCommands, NewResetsTheSetAndShowsAnEmptyScreenOne) {
    typeTwoScreens();
    page->choose(QStringLiteral("cmbTime"), 4);
    w.runPostedMessages();
    w.answers = {IDNO};
    press("btnNew");
    EXPECT_EQ(w.boxes, (Boxes{{kPrompt, MB_YESNO | MB_ICONEXCLAMATION}}));
    expectState({kUntitled, false, 2, CTessoraFile{}, "", ""});
    EXPECT_EQ(page->page["cmbDate"].selectedIndex, 0);
    EXPECT_EQ(page->page["cmbTime"].selectedIndex, 0);
    EXPECT_EQ(tabColour(1), "#666699");
    EXPECT_EQ(tabColour(3), "#333399");
    EXPECT_EQ(dialogs, std::vector<FileDialogKind>{});
}

TEST_F(FileCommands, NothingAsksWhileTheSetIsUnmodified) {
    press("btnNew");
    typeTwoScreens();
    choices = {at("news.tso")};
    press("btnSave");
    press("btnOpen");  // cancelled at its dialog
    press("btnNew");
    requestClose();
    EXPECT_EQ(w.boxes, Boxes{});
    EXPECT_EQ(dialogs, (std::vector{FileDialogKind::Save, FileDialogKind::Open}));
    EXPECT_TRUE(closed());
}

TEST_F(FileCommands, ACancelledDialogChangesNothing) {
    typeTwoScreens();
    w.dlg->UpdateData(true);
    const SessionState before = state();
    for (const char* button : {"btnSave", "btnOpen"}) {
        w.answers = {IDNO};
        press(button);
        expectState(before);
    }
    EXPECT_EQ(dialogs, (std::vector{FileDialogKind::Save, FileDialogKind::Open}));
}

// Open's own box keeps its text and says why under its details.
TEST_F(FileCommands, AFailedOpenChangesNothingAndSaysWhy) {
    WriteAll(folder / "short.tso", std::string(20, '\0'));
    ASSERT_EQ(::mkfifo(at("pipe.tso").c_str(), 0600), 0);
    CTessoraFile huge;
    huge.m_strText3 = std::string(kLongestScreenText + 1, 'x');
    ASSERT_TRUE(SaveDocument(huge, at("huge.tso")));
    typeTwoScreens();
    choices = {at("earlier.tso")};
    press("btnSave");
    page->type(QStringLiteral("scrText"), QStringLiteral("third, changed"));
    w.dlg->UpdateData(true);
    const SessionState before = state();
    const Box openFailed{"Could not open file!", MB_OK};
    const struct {
        const char* file;
        Box box;
        std::string detail;  // part of it
    } cases[] = {
        {"short.tso",
         {"An attempt was made to access an unnamed file past its end.", MB_OK | MB_ICONSTOP},
         ""},
        {"missing.tso", openFailed, at("missing.tso") + ": No such file or directory."},
        {".", openFailed, " is a folder, not a screen set file."},
        {"pipe.tso", openFailed, at("pipe.tso") + " is a pipe, not a screen set file."},
        {"huge.tso", openFailed,
         at("huge.tso") + " holds a screen text of 1048577 bytes; a screen may hold at most " +
             "1048576."},
    };
    for (const auto& c : cases) {
        w.boxes.clear();
        w.answers = {IDNO};
        choices = {at(c.file)};
        press("btnOpen");
        EXPECT_EQ(w.boxes, (Boxes{{kPrompt, MB_YESNO | MB_ICONSTOP}, c.box})) << c.file;
        EXPECT_NE(w.details.back().find(c.detail), std::string::npos)
            << c.file << ": " << w.details.back();
        EXPECT_EQ(w.details.back().empty(), c.detail.empty()) << c.file;
        expectState(before);
    }
}

TEST_F(FileCommands, AFailedWriteKeepsTheTitleTheFlagAndTheEarlierFile) {
    WriteAll(folder / "news.tso", "earlier");
    const QString title = w.dlg->windowTitle();
    page->type(QStringLiteral("scrText"), QString(70000, QLatin1Char('x')));
    choices = {at("news.tso")};
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = 10000;
    auto* const previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    press("btnSave");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(w.boxes,
              (Boxes{{"Disk full while accessing " + at("news.tso") + ".", MB_OK | MB_ICONSTOP}}));
    EXPECT_EQ(w.dlg->windowTitle(), title);
    EXPECT_TRUE(w.dlg->Session().Modified());
    EXPECT_FALSE(page->page["divDirty"].innerText.isEmpty()) << "the page still shows a change";
    EXPECT_EQ(ReadAll(folder / "news.tso"), "earlier");
    EXPECT_EQ(strays({"news.tso"}), std::vector<std::string>{});
}

TEST_F(FileCommands, FilesTheOperatorMayNotWriteAreRefused) {
    fs::create_directory(folder / "locked");
    fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                           fs::perms::group_read | fs::perms::group_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
    WriteAll(folder / "readonly.tso", "kept");
    fs::permissions(folder / "readonly.tso",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    typeTwoScreens();
    const QString title = w.dlg->windowTitle();
    for (const char* target : {"readonly.tso", "locked/news.tso"}) {
        const int result = RunUnprivileged([&] {
            choices = {at(target)};
            w.dlg->SendMessage(UWM_FILE_SAVE);
            if (w.boxes != Boxes{kSaveFailedBox}) return 1;
            if (w.dlg->windowTitle() != title || !w.dlg->Session().Modified()) return 2;
            return 0;
        });
        EXPECT_EQ(result, 0) << target;
    }
    EXPECT_EQ(ReadAll(folder / "readonly.tso"), "kept");
    EXPECT_EQ(strays({"locked", "readonly.tso"}), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_empty(folder / "locked"));
}

TEST_F(FileCommands, TextTypedJustBeforeClosingIsOfferedForSaving) {
    page->type(QStringLiteral("scrText"), QStringLiteral("typed last"));
    w.answers = {IDYES};
    choices = {at("last.tso")};
    requestClose();
    EXPECT_EQ(w.boxes, (Boxes{{kPrompt, MB_YESNO | MB_ICONEXCLAMATION}}));
    CTessoraFile saved;
    ASSERT_TRUE(LoadDocument(at("last.tso"), saved));
    EXPECT_EQ(saved.m_strText1, "typed last");
    EXPECT_TRUE(closed());
}

// New, Open and closing each offer to save a modified set and go on only when nothing the
// operator asked to keep would be lost.
struct PromptingCommand {
    const char* name;
    const char* button;  // none: a close request
    unsigned icon;
};
void PrintTo(const PromptingCommand& command, std::ostream* os) {
    *os << command.name;
}

class Prompting : public FileCommands, public ::testing::WithParamInterface<PromptingCommand> {
protected:
    void SetUp() override {
        FileCommands::SetUp();
        typeTwoScreens();
    }
    void run() {
        if (GetParam().button)
            press(GetParam().button);
        else
            requestClose();
    }
    // Whether the command went past its prompt: the set reset, the open dialog shown, the
    // window closed.
    bool wentOn() {
        return w.dlg->windowTitle() == kUntitled ||
               (!dialogs.empty() && dialogs.back() == FileDialogKind::Open) || closed();
    }
    Boxes prompt() const { return {{kPrompt, MB_YESNO | GetParam().icon}}; }
};

TEST_P(Prompting, NoGoesOnWithoutSaving) {
    w.answers = {IDNO};
    run();
    EXPECT_EQ(w.boxes, prompt());
    EXPECT_TRUE(wentOn());
    EXPECT_EQ(strays({}), std::vector<std::string>{});
}

TEST_P(Prompting, YesSavesEverythingTypedThenGoesOn) {
    w.answers = {IDYES};
    choices = {at("kept.tso")};
    run();
    EXPECT_EQ(w.boxes, prompt());
    CTessoraFile saved;
    ASSERT_TRUE(LoadDocument(at("kept.tso"), saved));
    EXPECT_EQ(saved, typedSet());
    EXPECT_TRUE(wentOn());
}

TEST_P(Prompting, YesWithTheSaveDialogCancelledKeepsEverything) {
    w.dlg->UpdateData(true);
    const SessionState before = state();
    w.answers = {IDYES};
    run();
    EXPECT_EQ(w.boxes, prompt());
    EXPECT_EQ(dialogs, std::vector{FileDialogKind::Save});
    EXPECT_FALSE(closed());
    expectState(before);
}

TEST_P(Prompting, YesWithAFailedSaveKeepsEverything) {
    w.dlg->UpdateData(true);
    const SessionState before = state();
    w.answers = {IDYES};
    choices = {at("no-such-folder/kept.tso")};
    run();
    Boxes expected = prompt();
    expected.push_back(kSaveFailedBox);
    EXPECT_EQ(w.boxes, expected);
    EXPECT_EQ(dialogs, std::vector{FileDialogKind::Save}) << "an Open shows no open dialog";
    EXPECT_FALSE(closed());
    expectState(before);
}

INSTANTIATE_TEST_SUITE_P(FileCommands, Prompting,
                         ::testing::Values(PromptingCommand{"New", "btnNew", MB_ICONEXCLAMATION},
                                           PromptingCommand{"Open", "btnOpen", MB_ICONSTOP},
                                           PromptingCommand{"Close", nullptr, MB_ICONEXCLAMATION}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FileTitle, IsTheNameWithoutFolderAndLastExtension) {
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"/shows/news.tso", "news"},
        {"/shows/news.old.tso", "news.old"},
        {"/shows.d/news", "news"},
        {"/shows/Caf\xC3\xA9.tso", "Caf\xE9"},  // a UTF-8 name as Windows-1252 window text
    };
    for (const auto& c : cases) EXPECT_EQ(FileTitle(c.path), c.title) << c.path;
}

// Plays the operator at the real file dialog: each step runs once the step before it is
// done, on whatever modal window is up.
class DialogDriver {
public:
    using Step = std::function<bool(QWidget* modal)>;  // true when done

    explicit DialogDriver(std::vector<Step> steps) : m_steps(std::move(steps)) {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (m_next < m_steps.size() && modal && m_steps[m_next](modal)) ++m_next;
        });
        m_timer.start();
    }
    bool finished() const { return m_next == m_steps.size(); }

private:
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    QTimer m_timer;
};

class RealFileDialog : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/file-dialog-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { fs::remove_all(folder); }

    // Types name into the dialog's file name box in the test's folder and accepts it.
    DialogDriver::Step enter(const char* name) {
        return [this, name](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) return false;
            initialName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            const auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            filters.clear();
            for (int i = 0; i < types->count(); ++i) filters << types->itemText(i);
            dialog->setDirectory(QString::fromStdString(folder.string()));
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QString::fromLatin1(name));
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            return true;
        };
    }
    // Answers the box the dialog raises with button.
    DialogDriver::Step answerBox(QMessageBox::StandardButton button) {
        return [this, button](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return false;
            boxText = box->text();
            box->button(button)->click();
            return true;
        };
    }

    fs::path folder;
    QString initialName;
    QStringList filters;
    QString boxText;
};

TEST_F(RealFileDialog, SaveCompletesTheNameAndAsksBeforeReplacing) {
    WriteAll(folder / "news.tso", "earlier");
    DialogDriver driver({enter("news"), answerBox(QMessageBox::Yes)});
    const std::optional<std::string> chosen = RunFileDialog(FileDialogKind::Save, nullptr);
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(chosen, (folder / "news.tso").string());
    EXPECT_TRUE(boxText.contains(QStringLiteral("news.tso"))) << boxText.toStdString();
    EXPECT_EQ(initialName, "*.tso");
    EXPECT_EQ(filters, (QStringList{"Tessora Files (*.tso)", " All Files (*.*)"}));
}

TEST_F(RealFileDialog, OpenTakesOnlyAFileThatExists) {
    WriteAll(folder / "show.tso", "x");
    DialogDriver driver({enter("missing.tso"), answerBox(QMessageBox::Ok), enter("show.tso")});
    const std::optional<std::string> chosen = RunFileDialog(FileDialogKind::Open, nullptr);
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(chosen, (folder / "show.tso").string());
    EXPECT_EQ(filters, (QStringList{"Tessora Files (*.tso)", " All Files (*.*)"}));
}

}  // namespace

namespace {

// The document's own out-of-memory (a text too long to hold) is shown as the host shows
// any other: an exclamation over every window, and the window goes on.
TEST(FileErrors, TheDocumentsOutOfMemoryIsAnExclamation) {
    struct Window : CTessoraDlg {
        using CTessoraDlg::ReportException;
    };
    FakePageViews pages;
    std::vector<Box> boxes;
    SetMessageBoxHook([&](const std::string& text, unsigned type, const std::string&) {
        boxes.push_back({text, type});
        return IDOK;
    });
    Window window;
    window.ReportException(std::make_exception_ptr(CMemoryException()));
    window.ReportException(std::make_exception_ptr(CFileException::FromErrno(EACCES, "x.tso")));
    SetMessageBoxHook({});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], (Box{"Out of memory.", MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL}));
    EXPECT_EQ(boxes[1].second & MB_ICONMASK, MB_ICONSTOP);
}

}  // namespace
