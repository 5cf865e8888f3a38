#pragma once

#include <sys/types.h>

#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

// What the operator needs to put a failed port right, in words: plain functions over the
// device and the reason the port kept. No Qt.

// Why a network line failed where no errno says it: its own category, so the reason reads the
// same in the box, on standard error and in Setup.
enum class NetworkReason {
    NameNotFound = 1,  // the host name does not exist
    NameLookupFailed,  // no answer about the name (no name server reached, and the like)
    ClosedByPeer,      // the far end closed the connection
    NegotiationFlood,  // a Telnet server kept negotiating, or owed itself too many answers
};
const std::error_category& NetworkReasonCategory();
std::error_code make_error_code(NetworkReason reason);
template <>
struct std::is_error_code_enum<NetworkReason> : std::true_type {};

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
