// tessora-send: puts one screen of a screen set on the caption unit as Send does, or clears
// it, from a script, with no window and no display.

#include <chrono>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "DocumentFile.h"
#include "Port.h"
#ifndef _WIN32
#include "PortReason.h"
#endif
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
};

#ifdef _WIN32
// On Windows the name is the COM port itself; there is no settings file mapping it.
Line ChooseLine(const SendOptions& options) {
    const std::string name = options.port.value_or("COM1");
    return {name, DefaultPortDevice(PortKey(name))};
}

std::string WhyNotOpen(const CPort& port) {
    return port.DevicePath() + ": " + port.LastError().message();
}
#else
// The port the window would open: the one named, else the one it last used, else COM1.
std::string PortName(const SendOptions& options, const PortSettings& settings) {
    if (options.port) return *options.port;
    if (settings.commPort && settings.commPort->starts_with("COM")) return *settings.commPort;
    return "COM1";
}

// As the window maps a name: its [Ports] device, else COMn's default device, or none while
// the settings file is not read as written. A path that is no mapped name is the device.
std::string DeviceOf(const std::string& name, const PortSettings& settings) {
    const std::u16string key = PortKey(name);
    for (const auto& [port, device] : settings.ports)
        if (port == key && !device.empty()) return device;
    if (name.find('/') != std::string::npos) return name;
    return settings.misread ? std::string() : DefaultPortDevice(key);
}

Line ChooseLine(const SendOptions& options) {
    const PortSettings settings = ReadPortSettings(PortSettingsFile());
    if (settings.misread) {
        std::cerr << "tessora-send: settings: " << PortSettingsFile() << ", line "
                  << settings.misread->line << ": " << settings.misread->why
                  << ". Until the file is mended, a port that [Ports] does not map opens no device."
                  << std::endl;
    }
    const std::string name = PortName(options, settings);
    return {name, DeviceOf(name, settings)};
}

std::string WhyNotOpen(const CPort& port) {
    return DescribePortFailure(port.DevicePath(), port.LastError(), PortSettingsFile());
}
#endif

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

    const auto [name, device] = ChooseLine(options);
    CPort port([device](const std::u16string&) { return device; });
    port.SetPort(PortKey(name).c_str());
    int open = 0;
    port.IsOpen(&open);
    if (!open) return Fail(kPortNotOpen, "could not open " + name + ": " + WhyNotOpen(port));

    // Screens 1 to 4 are the document's 0 to 3; --clear alone has no screen and no stamps.
    const int screen = options.screen - 1;
    const int dateCorner = doc.GetDateCorner(screen);
    const int timeCorner = doc.GetTimeCorner(screen);
    const std::time_t now = std::time(nullptr);
    const ScreenWrites writes = options.clear
                                    ? ComposeClear(dateCorner, timeCorner, now)
                                    : ComposeSend(doc.Text(screen), dateCorner, timeCorner, now);
    if (writes.layout.tooLong) std::cerr << "tessora-send: " << kTooLongWarning << std::endl;
    for (const std::string_view bytes : writes.Writes()) {
        if (port.Write(bytes) != 0) {
            return Fail(kLineFailed, device + ": " + port.LastError().message());
        }
    }
    return AwaitLine(port, device);
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
