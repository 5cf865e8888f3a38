#pragma once

#include <optional>
#include <string>

// How Qt and the browser engine under the pages are set up, chosen before the application
// starts from what the environment already says. The program picks a light set-up of its
// own; whatever the user sets in these variables is kept exactly as set.
struct EngineEnvironment {
    std::optional<std::string> chromiumFlags;     // QTWEBENGINE_CHROMIUM_FLAGS
    std::optional<std::string> quickBackend;      // QT_QUICK_BACKEND (or QMLSCENE_DEVICE)
    std::optional<std::string> rhiBackend;        // QSG_RHI_BACKEND
    std::optional<std::string> xcbGlIntegration;  // QT_XCB_GL_INTEGRATION
};

// The variables to set; one left empty stays as the environment has it.
struct EngineChoice {
    std::optional<std::string> chromiumFlags;
    std::optional<std::string> quickBackend;
    std::optional<std::string> xcbGlIntegration;
};

EngineChoice ChooseEngineSettings(const EngineEnvironment& environment);

// Reads the environment and sets what ChooseEngineSettings picks. Call before QApplication:
// Qt and the engine read these once, and the engine's helper processes inherit them.
void ApplyEngineSettings();
