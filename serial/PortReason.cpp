#include "PortReason.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "NetworkAddress.h"

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// A USB adapter's product name sits a few levels above its tty's device.
std::string Description(const fs::path& ttyDevice) {
    std::error_code ec;
    fs::path at = fs::canonical(ttyDevice, ec);
    for (int level = 0; !ec && level < 4 && at.has_parent_path(); ++level, at = at.parent_path()) {
        const std::string product = FirstLine(at / "product");
        if (!product.empty()) return product;
    }
    const fs::path driver = fs::read_symlink(ttyDevice / "driver", ec);
    return ec ? std::string() : driver.filename().string();
}

std::string GroupOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    if (const group* g = ::getgrgid(st.st_gid)) return g->gr_name;
    return std::to_string(st.st_gid);
}

std::string JoinDevices() {
    std::string list;
    for (const SerialDevice& d : ListSerialDevices()) list += (list.empty() ? "" : ", ") + d.path;
    return list.empty() ? "none" : list;
}

class NetworkReasonCategoryImpl : public std::error_category {
public:
    const char* name() const noexcept override { return "network line"; }
    std::string message(int value) const override {
        switch (static_cast<NetworkReason>(value)) {
            case NetworkReason::NameNotFound:
                return "Name not found";
            case NetworkReason::NameLookupFailed:
                return "Name could not be looked up";
            case NetworkReason::ClosedByPeer:
                return "Connection closed by the peer";
            case NetworkReason::NegotiationFlood:
                return "The server flooded the line with Telnet negotiation";
        }
        return "Unknown network failure";
    }
};

// What to look at when a network line fails, in the order an operator would check.
std::string NetworkHint(std::error_code reason) {
    if (reason == std::errc::connection_refused) {
        return "Nothing accepts connections there: is the device server on, and is the port "
               "number its own?";
    }
    if (reason == NetworkReason::NameNotFound || reason == NetworkReason::NameLookupFailed) {
        return "Check the host name, or give its address.";
    }
    if (reason == std::errc::timed_out) {
        return "The host did not answer in time: check its address and the network.";
    }
    if (reason == std::errc::host_unreachable || reason == std::errc::network_unreachable) {
        return "Check the address and the network.";
    }
    if (reason == NetworkReason::ClosedByPeer || reason == std::errc::connection_reset ||
        reason == std::errc::broken_pipe) {
        return "The device server ended the connection; another client may have taken the port.";
    }
    if (reason == NetworkReason::NegotiationFlood) {
        return "Is it a Telnet COM port server? A raw TCP port is socket://host:port.";
    }
    if (reason == std::errc::invalid_argument) {
        return "Write it as socket://host:port or rfc2217://host:port.";
    }
    return {};
}

}  // namespace

const std::error_category& NetworkReasonCategory() {
    static const NetworkReasonCategoryImpl category;
    return category;
}

std::error_code make_error_code(NetworkReason reason) {
    return {static_cast<int>(reason), NetworkReasonCategory()};
}

std::vector<SerialDevice> ListSerialDevices(const std::string& sysRoot,
                                            const std::string& devRoot) {
    std::error_code ec;
    std::map<std::string, std::string> byId;  // kernel path -> stable link
    for (const auto& link : fs::directory_iterator(fs::path(devRoot) / "serial/by-id", ec)) {
        std::error_code linkEc;
        const fs::path target = fs::canonical(link.path(), linkEc);
        if (!linkEc) byId[(fs::path(devRoot) / target.filename()).string()] = link.path().string();
    }
    std::vector<SerialDevice> devices;
    for (const auto& entry : fs::directory_iterator(fs::path(sysRoot) / "class/tty", ec)) {
        const fs::path device = entry.path() / "device";
        std::error_code entryEc;
        if (!fs::exists(device, entryEc)) continue;
        // The legacy 8250 table lists ports that are not there; a real one has an I/O port.
        const std::string name = entry.path().filename().string();
        const std::string port = FirstLine(entry.path() / "port");
        if (name.rfind("ttyS", 0) == 0 && (port == "0x0" || port == "0")) continue;
        SerialDevice d;
        d.kernelPath = (fs::path(devRoot) / name).string();
        const auto link = byId.find(d.kernelPath);
        d.path = link != byId.end() ? link->second : d.kernelPath;
        d.description = Description(device);
        d.usable = ::access(d.kernelPath.c_str(), R_OK | W_OK) == 0;
        devices.push_back(std::move(d));
    }
    std::sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
        return a.kernelPath < b.kernelPath;
    });
    return devices;
}

std::string FormatSerialDevice(const SerialDevice& d) {
    std::string line = d.path;
    if (d.path != d.kernelPath) line += "  " + d.kernelPath;
    line += "  " + (d.description.empty() ? std::string("-") : d.description);
    line += d.usable ? "  may open" : "  no access";
    return line;
}

std::vector<pid_t> ProcessesHolding(const std::string& path) {
    std::vector<pid_t> pids;
    std::error_code ec;
    const fs::path wanted = fs::canonical(path, ec);
    if (ec) return pids;
    for (const auto& proc : fs::directory_iterator("/proc", ec)) {
        const std::string pid = proc.path().filename().string();
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), ::isdigit)) continue;
        std::error_code fdEc;
        for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdEc)) {
            std::error_code linkEc;
            if (fs::read_symlink(fd.path(), linkEc) == wanted && !linkEc) {
                pids.push_back(static_cast<pid_t>(std::stol(pid)));
                break;
            }
        }
    }
    return pids;
}

std::vector<std::string> DeviceHolders(const std::string& path) {
    std::vector<std::string> holders;
    for (const pid_t pid : ProcessesHolding(path)) {
        const std::string id = std::to_string(pid);
        const std::string name = FirstLine(fs::path("/proc") / id / "comm");
        holders.push_back((pid == ::getpid() ? "this program" : name) + " (" + id + ")");
    }
    return holders;
}

std::string DescribePortFailure(const std::string& device, std::error_code reason,
                                const std::string& settingsFile) {
    const std::string where = device.empty() ? std::string("no device") : device;
    std::string text = where + ": " + reason.message();
    if (IsNetworkAddress(device)) {
        const std::string hint = NetworkHint(reason);
        return hint.empty() ? text : text + ". " + hint;
    }
    if (reason == std::errc::permission_denied || reason == std::errc::operation_not_permitted) {
        const std::string group = GroupOf(device);
        text +=
            ". The device belongs to group " + (group.empty() ? std::string("dialout") : group) +
            "; add yourself with: sudo usermod -aG " +
            (group.empty() ? std::string("dialout") : group) + " $USER, then log out and in again.";
    } else if (reason == std::errc::device_or_resource_busy) {
        std::string holders;
        for (const std::string& h : DeviceHolders(device))
            holders += (holders.empty() ? "" : ", ") + h;
        text +=
            ". Held by another program" + (holders.empty() ? std::string() : ": " + holders) + ".";
    } else if (device.empty() || reason == std::errc::no_such_file_or_directory ||
               reason == std::errc::no_such_device_or_address) {
        text += ". Serial devices here: " + JoinDevices() + ". Map one under [Ports] in " +
                settingsFile + " (COM1=/dev/...).";
    } else if (reason == std::errc::inappropriate_io_control_operation ||
               reason == std::errc::is_a_directory || reason == std::errc::no_such_device) {
        text += ". This path is not a serial device.";
    }
    return text;
}
