#include "AppTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

#include "MessageBox.h"
#include "Messages.h"

void FakeLine::hangUp() {
    m_pty.CloseMaster();
}

void FakeLine::stall() {
    // The terminal's output stopped: every write to the program's end finds no room.
    tcflow(m_pty.Slave(), TCOOFF);
}

void FakeLine::resume() {
    tcflow(m_pty.Slave(), TCOON);
}

std::string FakeLine::received(std::size_t until, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const int master = m_pty.Master();
    if (master < 0) return m_seen;
    do {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) m_seen.append(buffer, static_cast<std::size_t>(n));
        }
    } while (m_seen.size() < until && std::chrono::steady_clock::now() < deadline);
    return m_seen;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

namespace {

QSettings store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Halvercrest"),
                     QStringLiteral("Tessora"));
}

}  // namespace

bool MainWindowFixture::startOnLine(FakeLine& line) {
    ResetSettings();
    WriteSetting("CommPort", "COM1");
    WriteSetting("Ports/COM1", QString::fromStdString(line.device()));
    start();
    if (line.received(kGreetedLine.size(), std::chrono::seconds(10)) != kGreetedLine) return false;
    dlg->KillTimer(IDT_STAMP);
    // The greeting's writes are recorded once the line has let them go.
    return WaitUntil([this] {
        dlg->Session().UnitDisplay();
        return !dlg->Session().OnAir().Holding();
    });
}

void ResetSettings() {
    QSettings s = store();
    s.clear();
    s.sync();
}

void WriteSetting(const QString& key, const QVariant& value) {
    QSettings s = store();
    s.setValue(key, value);
    s.sync();
}

QVariant ReadSetting(const QString& key) {
    return store().value(key);
}

MainWindowFixture::MainWindowFixture() {
    SetMessageBoxHook([this](const std::string& text, unsigned type, const std::string& detail) {
        boxes.push_back({text, type});
        details.push_back(detail);
        if ((type & MB_TYPEMASK) == MB_OK) return IDOK;
        if (answers.empty()) return IDNO;
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    view = pages.next();
    dlg = std::make_unique<CTessoraDlg>();
    // The machine's own clock may be in any state; the tests that care set theirs.
    dlg->Clock().SetReader([] { return ClockSync::Synchronised; });
}

MainWindowFixture::~MainWindowFixture() {
    dlg.reset();
    SetMessageBoxHook({});
}

void MainWindowFixture::start(bool loadPage) {
    dlg->OnInitDialog();
    if (loadPage) view->finishLoad(MainPageElements());
}

void MainWindowFixture::runPostedMessages() {
    QCoreApplication::processEvents();
}
