#include "PortResolver.h"

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
