#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Port.h"

// What the settings say about the port, however they were read: the name last used
// (CommPort), the operator's [Ports] mapping and whether the file was read as written.
struct PortSetup {
    std::optional<std::string> commPort;
    // (name, device or URL) in the file's order; a name given twice means what it says last.
    std::vector<std::pair<std::u16string, std::string>> ports;
    // The file was not read as written: a line lost may have been a port's mapping.
    bool misread = false;
};

// Port name -> device or network line, the one rule for the program and tessora-send.
class PortResolver {
public:
    // unmapped gives the device of a name the mapping does not give one (the tests stand in
    // devices of their own).
    explicit PortResolver(PortSetup setup, PortDeviceResolver unmapped = DefaultPortDevice)
        : m_setup(std::move(setup)), m_unmapped(std::move(unmapped)) {}

    // The stored name to open at start: taken only if it starts with "COM" (case-sensitive,
    // anything may follow); otherwise the port stays closed.
    std::optional<std::string> StoredName() const;

    // The name's mapped device; else the unmapped device (COMn's default), or none at all while
    // the settings file is misread, rather than a device guessed from the name.
    std::string Device(const std::u16string& name) const;

    // Device as the port's resolver.
    PortDeviceResolver Resolver() const;

    // Why a backup port named beside the main one cannot be used ("" when it can): its name
    // opens no device, or the main port's own (the same path, or a link to it).
    std::string BackupRefusal(const std::u16string& backup, const std::u16string& main) const;

private:
    PortSetup m_setup;
    PortDeviceResolver m_unmapped;
};
