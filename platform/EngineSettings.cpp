#include "EngineSettings.h"

#include <QByteArray>
#include <QtGlobal>

namespace {

// The pages are a few flat controls. Drawn through OpenGL they cost several times the CPU
// for every frame (a caret blink is one) and, with no GPU, pull in Mesa's llvmpipe: about
// 60 MiB more and a render thread pool. Qt's software scene graph draws the same pixels;
// the engine sees it and composites in software as well.
constexpr char kQuickBackend[] = "software";
// Nothing then draws through OpenGL, so the window system's GL is not even opened (it
// would load the GL driver just to probe it).
constexpr char kXcbGlIntegration[] = "none";

// The engine starts two zygotes: one for the sandboxed renderers and one for helpers that
// run unsandboxed (GPU, network, utilities). Here the GPU and network run inside the
// program and no other helper is started, so the second is an idle process holding 14-18
// MiB; a helper that did need it would be started directly. The renderers keep their own
// zygote, sandbox and process: a renderer that dies takes only its page with it.
constexpr char kChromiumFlags[] = "--no-unsandboxed-zygote";

std::optional<std::string> Variable(const char* name) {
    if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
    return qgetenv(name).toStdString();
}

void Set(const char* name, const std::optional<std::string>& value) {
    if (value) qputenv(name, QByteArray::fromStdString(*value));
}

}  // namespace

EngineChoice ChooseEngineSettings(const EngineEnvironment& environment) {
    EngineChoice choice;
    if (!environment.chromiumFlags) choice.chromiumFlags = kChromiumFlags;
    // A user who names a scene graph backend or graphics API wants that path, GL included.
    if (environment.quickBackend || environment.rhiBackend) return choice;
    choice.quickBackend = kQuickBackend;
    if (!environment.xcbGlIntegration) choice.xcbGlIntegration = kXcbGlIntegration;
    return choice;
}

void ApplyEngineSettings() {
    EngineEnvironment environment;
    environment.chromiumFlags = Variable("QTWEBENGINE_CHROMIUM_FLAGS");
    environment.quickBackend = Variable("QT_QUICK_BACKEND");
    if (!environment.quickBackend) environment.quickBackend = Variable("QMLSCENE_DEVICE");
    environment.rhiBackend = Variable("QSG_RHI_BACKEND");
    environment.xcbGlIntegration = Variable("QT_XCB_GL_INTEGRATION");
    const EngineChoice choice = ChooseEngineSettings(environment);
    Set("QT_QUICK_BACKEND", choice.quickBackend);
    Set("QT_XCB_GL_INTEGRATION", choice.xcbGlIntegration);
    Set("QTWEBENGINE_CHROMIUM_FLAGS", choice.chromiumFlags);
}
