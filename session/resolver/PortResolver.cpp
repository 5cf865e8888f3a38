#include "PortResolver.h"

#include <filesystem>
#include <system_error>

namespace {

// A device's path with its links followed (a by-id name and the device it points at are one
// device); a network line as written.
std::string SameDeviceKey(const std::string& device) {
    if (device.find("://") != std::string::npos) return device;
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(device, error);
    return error ? device : real.string();
}

std::string Narrow(const std::u16string& name) {
    std::string out;
    for (const char16_t unit : name) out += unit < 0x80 ? static_cast<char>(unit) : '?';
    return out;
}

}  // namespace

std::optional<std::string> PortResolver::StoredName() const {
    if (m_setup.commPort && m_setup.commPort->starts_with("COM")) return m_setup.commPort;
    return std::nullopt;
}

std::string PortResolver::Device(const std::u16string& name) const {
    for (const auto& [mapped, device] : m_setup.ports)
        if (mapped == name && !device.empty()) return device;
    return m_setup.misread || !m_unmapped ? std::string() : m_unmapped(name);
}

PortDeviceResolver PortResolver::Resolver() const {
    return [resolver = *this](const std::u16string& name) { return resolver.Device(name); };
}

std::string PortResolver::BackupRefusal(const std::u16string& backup,
                                        const std::u16string& main) const {
    const std::string device = Device(backup);
    if (device.empty()) return "Backup not used: " + Narrow(backup) + " opens no device";
    if (SameDeviceKey(device) == SameDeviceKey(Device(main)))
        return "Backup not used: " + Narrow(backup) + " is the main port's device (" + device + ")";
    return {};
}
