// The engine's set-up chosen before start: the program's light defaults, and the user's own
// variables kept whenever they are set.
#include <gtest/gtest.h>

#include <cstdlib>

#include "EngineSettings.h"

namespace {

TEST(EngineSettings, WithNothingSetDrawsInSoftwareWithoutOpeningGl) {
    const EngineChoice choice = ChooseEngineSettings({});
    EXPECT_EQ(choice.quickBackend, "software");
    EXPECT_EQ(choice.xcbGlIntegration, "none");
    EXPECT_EQ(choice.chromiumFlags, "--no-unsandboxed-zygote");
}

TEST(EngineSettings, AUsersOwnChoiceOfRenderingPathWins) {
    EngineEnvironment quick;
    quick.quickBackend = "opengl";
    EngineEnvironment rhi;
    rhi.rhiBackend = "vulkan";
    EngineEnvironment emptyQuick;  // set, even to nothing, is the user's word
    emptyQuick.quickBackend = "";
    for (const EngineEnvironment& environment : {quick, rhi, emptyQuick}) {
        const EngineChoice choice = ChooseEngineSettings(environment);
        EXPECT_EQ(choice.quickBackend, std::nullopt);
        EXPECT_EQ(choice.xcbGlIntegration, std::nullopt) << "GL must stay available";
    }
    EngineEnvironment glIntegration;
    glIntegration.xcbGlIntegration = "xcb_egl";
    EXPECT_EQ(ChooseEngineSettings(glIntegration).quickBackend, "software");
    EXPECT_EQ(ChooseEngineSettings(glIntegration).xcbGlIntegration, std::nullopt);
}

TEST(EngineSettings, AUsersOwnEngineFlagsAreNeverReplacedNorAddedTo) {
    EngineEnvironment environment;
    environment.chromiumFlags = "--remote-debugging-port=9222";
    EXPECT_EQ(ChooseEngineSettings(environment).chromiumFlags, std::nullopt);
    environment.chromiumFlags = "";
    EXPECT_EQ(ChooseEngineSettings(environment).chromiumFlags, std::nullopt);
    // The rendering path and the engine's switches are separate choices.
    EXPECT_EQ(ChooseEngineSettings(environment).quickBackend, "software");
}

// The variables themselves, as the program reads and sets them before it starts.
class EngineEnvironmentVariables : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) unsetenv(name);
    }
    void TearDown() override { SetUp(); }
    static std::string get(const char* name) {
        const char* value = std::getenv(name);
        return value ? value : "(unset)";
    }
    static constexpr const char* kNames[] = {"QTWEBENGINE_CHROMIUM_FLAGS", "QT_QUICK_BACKEND",
                                             "QMLSCENE_DEVICE", "QSG_RHI_BACKEND",
                                             "QT_XCB_GL_INTEGRATION"};
};

TEST_F(EngineEnvironmentVariables, TheProgramsChoiceReachesTheEnvironment) {
    ApplyEngineSettings();
    EXPECT_EQ(get("QT_QUICK_BACKEND"), "software");
    EXPECT_EQ(get("QT_XCB_GL_INTEGRATION"), "none");
    EXPECT_EQ(get("QTWEBENGINE_CHROMIUM_FLAGS"), "--no-unsandboxed-zygote");
}

TEST_F(EngineEnvironmentVariables, TheUsersOwnSettingsAreLeftAsTheyAre) {
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--enable-logging", 1);
    setenv("QMLSCENE_DEVICE", "opengl", 1);
    ApplyEngineSettings();
    EXPECT_EQ(get("QTWEBENGINE_CHROMIUM_FLAGS"), "--enable-logging");
    EXPECT_EQ(get("QT_QUICK_BACKEND"), "(unset)");
    EXPECT_EQ(get("QT_XCB_GL_INTEGRATION"), "(unset)");
}

}  // namespace
