// tessora-send: puts one screen of a screen set on the caption unit as Send does, or clears
// it, from a script, with no window and no display. Each send is logged as-run, as the
// program's own writes are, with the origin "script".

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <utility>

#include "DocumentFile.h"
#include "OnAirRecord.h"
#include "Port.h"
#ifndef _WIN32
#include "AsRunFile.h"
#include "AsRunLog.h"
#include "AsRunText.h"
#include "PortReason.h"
#endif
#include "PortResolver.h"
#include "PortSettings.h"
#include "ScreenWrites.h"
#include "SendOptions.h"

namespace {

// Exit statuses, as the manual page lists them.
constexpr int kSent = 0;
constexpr int kBadCommandLine = 2;
constexpr int kBadFile = 3;
constexpr int kPortNotOpen = 4;
constexpr int kLineFailed = 5;

// A whole screen takes the line about a second; one that has not taken it by then is stalled.
constexpr auto kLineLimit = std::chrono::seconds(30);
constexpr auto kLineCheck = std::chrono::milliseconds(5);

int Fail(int status, const std::string& text) {
    std::cerr << "tessora-send: " << text << std::endl;
    return status;
}

// The line to send on: its name as the operator gave it and the device that opens it.
struct Line {
    std::string name;
    std::string device;
    // [AsRun] Enabled: the sends are logged as the program's own are.
    bool logged = false;
};

#ifdef _WIN32
// On Windows the name is the COM port itself; there is no settings file mapping it.
Line ChooseLine(const std::optional<std::string>& asked) {
    const std::string name = asked.value_or("COM1");
    return {name, PortResolver(PortSetup{}).Device(PortKey(name))};
}

std::string WhyNotOpen(const CPort& port) {
    return port.DevicePath() + ": " + port.LastError().message();
}
#else
// The port the window would open, mapped as the window maps it: the one named, else the
// one it last used, else COM1.
Line ChooseLine(const std::optional<std::string>& asked) {
    const PortSettings settings = ReadPortSettings(PortSettingsFile());
    if (settings.misread) {
        std::cerr << "tessora-send: settings: " << PortSettingsFile() << ", line "
                  << settings.misread->line << ": " << settings.misread->why
                  << ". Until the file is mended, a port that [Ports] does not map opens no device."
                  << std::endl;
    }
    PortSetup setup{settings.commPort, settings.ports, settings.misread.has_value()};
    const std::string name = asked.value_or(PortResolver(setup).StoredName().value_or("COM1"));
    // A device path given for the port opens that device, unless [Ports] maps it as a name.
    if (name.find('/') != std::string::npos) setup.ports.emplace_back(PortKey(name), name);
    return {name, PortResolver(std::move(setup)).Device(PortKey(name)), settings.asRunEnabled};
}

std::string WhyNotOpen(const CPort& port) {
    return DescribePortFailure(port.DevicePath(), port.LastError(), PortSettingsFile());
}
#endif

// The write in the as-run day file, as the program logs its own; a log that cannot be
// written is said on standard error and costs the send nothing.
void LogWrite(const UnitWrite& write, const Line& line) {
#ifdef _WIN32
    (void)write;
    (void)line;
#else
    if (!line.logged) return;
    AsRunFile file(AsRunFolder(), {});
    file.Append(AsRunTimeOf(write.time).day, AsRunLine(write, line.name, line.device));
#endif
}

// Waits until the line has taken every byte queued: the writer passes a byte only once the
// driver has sent it on.
int AwaitLine(const CPort& port, const std::string& device) {
    const auto deadline = std::chrono::steady_clock::now() + kLineLimit;
    while (port.QueuedBytes() != 0) {
        if (port.State() == CPort::LineState::Lost)
            return Fail(kLineFailed, "line lost: " + device);
        if (std::chrono::steady_clock::now() > deadline) {
            return Fail(kLineFailed, device + ": the line did not take " +
                                         std::to_string(port.QueuedBytes()) + " bytes in " +
                                         std::to_string(kLineLimit.count()) + " s");
        }
        std::this_thread::sleep_for(kLineCheck);
    }
    return kSent;
}

int Run(const SendOptions& options) {
    // The file is read whole before the line is touched, so a bad one sends nothing.
    CTessoraFile doc;
    if (!options.file.empty()) {
        CFileException openError;
        std::string reason;
        try {
            // The window's reasons for a file that is there: a folder, a pipe or a device
            // named as such, a text too long for a screen with its length.
            if (!LoadDocument(options.file, doc, &openError, &reason)) {
                std::error_code unknown;
                const bool there = std::filesystem::exists(options.file, unknown);
                return Fail(kBadFile, there && !reason.empty() ? reason : openError.Text());
            }
        } catch (const CException& e) {
            return Fail(kBadFile, "could not read " + options.file + ": " + e.Text());
        }
        if (TidyScreens(doc).controls != 0)
            std::cerr << "tessora-send: " << kControlsLeftOut << std::endl;
    }

    const Line line = ChooseLine(options.port);
    const std::string& device = line.device;
    CPort port([device](const std::u16string&) { return device; });
    port.SetPort(PortKey(line.name).c_str());
    int open = 0;
    port.IsOpen(&open);
    if (!open) return Fail(kPortNotOpen, "could not open " + line.name + ": " + WhyNotOpen(port));
    // The backup, if asked for, on a line of its own; one that cannot be used is said and the
    // main unit is sent to alone.
    const Line backupLine = options.backup ? ChooseLine(options.backup) : Line{};
    CPort backup([&backupLine](const std::u16string&) { return backupLine.device; });
    bool backupUsed = false;
    if (options.backup) {
        const std::string refusal =
            PortResolver(PortSetup{{},
                                   {{PortKey(backupLine.name), backupLine.device},
                                    {PortKey(line.name), line.device}},
                                   false},
                         [](const std::u16string&) { return std::string(); })
                .BackupRefusal(PortKey(backupLine.name), PortKey(line.name));
        if (!refusal.empty()) {
            Fail(kSent, refusal);
        } else {
            backup.SetPort(PortKey(backupLine.name).c_str());
            backup.IsOpen(&open);
            backupUsed = open != 0;
            if (!backupUsed)
                Fail(kSent, "backup not used: could not open " + backupLine.name + ": " +
                                WhyNotOpen(backup));
        }
    }

    // Screens 1 to 4 are the document's 0 to 3; --clear alone has no screen and no stamps.
    const int screen = options.screen - 1;
    UnitWrite write;
    write.kind = options.clear ? WriteKind::Clear : WriteKind::Send;
    write.origin = WriteOrigin::Script;
    write.screen = options.screen;
    if (!options.clear) {
        write.text = doc.Text(screen);
        write.dateCorner = doc.GetDateCorner(screen);
        write.timeCorner = doc.GetTimeCorner(screen);
    }
    write.time = std::chrono::system_clock::now();
    const std::time_t now = std::chrono::system_clock::to_time_t(write.time);
    const ScreenWrites writes =
        options.clear ? ComposeClear(doc.GetDateCorner(screen), doc.GetTimeCorner(screen), now)
                      : ComposeSend(write.text, write.dateCorner, write.timeCorner, now);
    if (writes.layout.tooLong) std::cerr << "tessora-send: " << kTooLongWarning << std::endl;
    const std::uint64_t from = port.WrittenCount();
    const std::uint64_t backupFrom = backup.WrittenCount();
    int status = kSent;
    int backupStatus = backupUsed ? kSent : kLineFailed;
    for (const std::string_view bytes : writes.Writes()) {
        write.bytes += bytes;
        if (status == kSent && port.Write(bytes) != 0)
            status = Fail(kLineFailed, device + ": " + port.LastError().message());
        // After the main line's: the backup never holds it up.
        if (backupStatus == kSent && backup.Write(bytes) != 0)
            backupStatus = Fail(
                kLineFailed, "backup " + backupLine.device + ": " + backup.LastError().message());
    }
    if (status == kSent) status = AwaitLine(port, device);
    if (backupStatus == kSent) backupStatus = AwaitLine(backup, "backup " + backupLine.device);
    write.backup = options.backup.has_value();
    write.backupTaken = backupStatus == kSent &&
                        backup.BytesOut(backupFrom, backup.WrittenCount()) == write.bytes.size();
    // Taken only if every byte left; one given up on is counted as not sent.
    const std::uint64_t to = port.WrittenCount();
    write.sent = port.BytesOut(from, to).value_or(to - from - port.QueuedBytes());
    write.taken = status == kSent && write.sent == write.bytes.size();
    LogWrite(write, line);
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string error;
    const std::optional<SendOptions> options =
        ParseSendOptions({argv + 1, static_cast<std::size_t>(argc - 1)}, error);
    if (!options) return Fail(kBadCommandLine, error + "; " + SendUsage());
    if (options->help) {
        std::cout << SendHelp();
        return kSent;
    }
    if (options->version) {
        std::cout << "tessora-send " TESSORA_VERSION "\n";
        return kSent;
    }
    return Run(*options);
}
