#pragma once

#include <sys/types.h>

#include <string>
#include <system_error>
#include <vector>

// What the operator needs to put a failed port right, in words: plain functions over the
// device and the reason the port kept. No Qt.

// One serial device on this machine.
struct SerialDevice {
    std::string path;         // /dev/serial/by-id/... where there is one, else the kernel path
    std::string kernelPath;   // /dev/ttyUSB0 and the like
    std::string description;  // the USB product or the driver; may be empty
    bool usable = false;      // this user may open it for reading and writing
};

// The serial devices that exist: /sys/class/tty entries backed by a device (ports that are
// only a number in the kernel's table are left out), sorted by kernel path. sysRoot and
// devRoot let the tests stand in a tree of their own.
std::vector<SerialDevice> ListSerialDevices(const std::string& sysRoot = "/sys",
                                            const std::string& devRoot = "/dev");

// One line a device: path, kernel name, description, and whether it may be opened.
std::string FormatSerialDevice(const SerialDevice& device);

// Why device could not be opened, with a hint for the common cases: the device's group
// for permission, the holding program for a busy device, the devices there are for a
// missing one. One line, no trailing newline. settingsFile names where Ports are mapped.
std::string DescribePortFailure(const std::string& device, std::error_code reason,
                                const std::string& settingsFile);

// The processes that have path open, where /proc says (others' only where it may be read).
std::vector<pid_t> ProcessesHolding(const std::string& path);

// The programs (name and process id, "name (pid)") that have path open, where /proc says.
std::vector<std::string> DeviceHolders(const std::string& path);
