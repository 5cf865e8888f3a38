#include "AsRunStart.h"

#include <chrono>

#include "AsRunText.h"
#include "SettingsStore.h"

namespace {
constexpr int kKeepDays = 90;
}  // namespace

std::unique_ptr<CAsRunLog> AsRunLogFromSettings(CaptionCommands& session) {
    SettingsStore store;
    if (store.ReadInt32("AsRun/Enabled").value_or(1) == 0) return nullptr;
    const std::filesystem::path folder = AsRunFolder();
    const std::optional<std::chrono::sys_days> today =
        ParseDay(AsRunTimeOf(std::chrono::system_clock::now()).day);
    if (today) RemoveOldDays(folder, *today, store.ReadInt32("AsRun/KeepDays").value_or(kKeepDays));
    return std::make_unique<CAsRunLog>(session, folder);
}
