#pragma once

#include <memory>

#include "AsRunLog.h"
#include "CaptionCommands.h"

// The as-run log as the settings group AsRun sets it up: on unless Enabled=0; before it
// starts, the day files older than KeepDays days (90 unless set) are removed.
std::unique_ptr<CAsRunLog> AsRunLogFromSettings(CaptionCommands& session);
