// The main window's settings: the port and its device mapping, the strip's place and size,
// and the monitor's, read once at start and written at close.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "Cp1252.h"
#include "MessageBox.h"
#include "PortResolver.h"
#include "SettingsStore.h"
#include "TessoraDlg.h"

namespace {

constexpr char kPortObjectFailed[] = "CPort failed to initialize";
constexpr char kSettingsMisread[] = "Some settings could not be read - please check settings!";
constexpr char kMisreadSettings[] =
    " Until the file is mended, the program does not write it, and a port that [Ports] does "
    "not map opens no device (not /dev/ttyS<n>). The file as it was is kept in ";
constexpr std::size_t kMaxPortNameBytes = 255;

}  // namespace

void CTessoraDlg::CreatePort() {
    // The operator's port mapping is read once, at start, like the rest of the settings. A
    // file not read as written may have lost a port's mapping with the lines misread: a port
    // it does not map then opens nothing, rather than a device guessed from its name.
    const std::optional<std::string> misread = SettingsStore::CheckFile();
    const SettingsStore store;
    const PortResolver resolver({store.ReadText("CommPort", kMaxPortNameBytes),
                                 store.ReadPaths("Ports"), misread.has_value()},
                                m_unmappedPortDevice);
    std::unique_ptr<CPort> port(new (std::nothrow) CPort(resolver.Resolver()));
    if (!port) {
        AfxMessageBox(kPortObjectFailed, MB_OK);
        std::exit(1);
    }
    m_session.SetPort(std::move(port));
    // A backup unit beside the main one, through the same mapping.
    const std::optional<std::string> backup = store.ReadText("Backup/Port", kMaxPortNameBytes);
    m_session.UseBackup(Utf16FromCp1252(backup.value_or("")), resolver);
    m_portResolver = resolver;
    if (misread) {
        const std::string detail =
            *misread + kMisreadSettings + SettingsStore::FileName() + ".bak.";
        std::fprintf(stderr, "tessora: settings: %s\n", detail.c_str());
        AfxMessageBox(kSettingsMisread, MB_OK, detail);
    }
}

void CTessoraDlg::LoadSettings() {
    const SettingsStore store;
    const std::optional<std::string> port = store.ReadText("CommPort", kMaxPortNameBytes);
    for (auto [name, field] : {std::pair{"MinPosX", &m_nMinPosX}, std::pair{"MinPosY", &m_nMinPosY},
                               std::pair{"MinSizeWidth", &m_nMinSizeWidth},
                               std::pair{"MinSizeHeight", &m_nMinSizeHeight}}) {
        if (const std::optional<std::int32_t> value = store.ReadInt32(name)) *field = *value;
    }
    m_monitor.Load(store);
    m_cues.Load(store);
    if (const std::optional<std::string> name = PortResolver({port, {}, false}).StoredName()) {
        const std::u16string wide = Utf16FromCp1252(*name);
        m_session.Port()->SetPort(wide.c_str());
    }
}

void CTessoraDlg::SaveSettings() {
    if (!m_session.Port()) return;
    std::u16string name;
    m_session.Port()->GetPortName(&name);
    SettingsStore store;
    store.WriteText("CommPort", Cp1252FromUtf16(name));
    // A settings file that never named a backup is left without the group.
    const std::string backup = Cp1252FromUtf16(m_session.BackupName());
    if (!backup.empty() || store.ReadText("Backup/Port", kMaxPortNameBytes))
        store.WriteText("Backup/Port", backup);
    store.WriteInt32("MinPosX", m_nMinPosX);
    store.WriteInt32("MinPosY", m_nMinPosY);
    store.WriteInt32("MinSizeWidth", m_nMinSizeWidth);
    store.WriteInt32("MinSizeHeight", m_nMinSizeHeight);
    m_monitor.Save(store);
    m_cues.Save(store);
}
