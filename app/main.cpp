#include <QApplication>
#include <chrono>
#include <cstddef>
#include <iostream>
#include <optional>
#include <string>

#include "AsRunFile.h"
#include "AsRunReport.h"
#include "AsRunText.h"
#include "CommandLine.h"
#include "EngineSettings.h"
#include "PageResources.h"
#include "PortReason.h"
#include "RemoteToken.h"
#include "ResScheme.h"
#include "TessoraApp.h"
#include "WebPageView.h"

int main(int argc, char* argv[]) {
    // Read before anything needs a display, so a mistyped command line answers anywhere.
    std::string error;
    const std::optional<CCommandLine> options =
        ParseCommandLine({argv + 1, static_cast<std::size_t>(argc - 1)}, error);
    if (!options) {
        std::cerr << "tessora: " << error << "; " << CommandLineUsage() << std::endl;
        return 2;
    }
    if (options->m_bHelp) {
        std::cout << CommandLineHelp();
        return 0;
    }
    if (options->m_bVersion) {
        std::cout << "tessora " TESSORA_VERSION "\n";
        return 0;
    }
    if (options->m_bRemoteToken) {
        bool made = false;
        const std::string token = RemoteToken(made);
        if (token.empty()) {
            std::cerr << "tessora: no token could be made" << std::endl;
            return 1;
        }
        std::cout << token << '\n';
        return 0;
    }
    if (options->m_bAsRun) {
        const std::string day =
            options->m_strAsRunDate.value_or(AsRunTimeOf(std::chrono::system_clock::now()).day);
        return PrintAsRun(AsRunFolder() / (day + ".jsonl"), options->m_bCsv, std::cout, std::cerr);
    }
    if (options->m_bListPorts) {
        for (const SerialDevice& device : ListSerialDevices())
            std::cout << FormatSerialDevice(device) << '\n';
        return 0;
    }

    // Before Qt starts: Qt and the browser engine read their set-up once, at start.
    ApplyEngineSettings();
    InitPageResources();
    RegisterResScheme();
    UseWebPages();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Qt sees only the program name: a file named like one of its options stays a file.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessora"));
    QApplication::setOrganizationName(QStringLiteral("Halvercrest"));
    QApplication::setQuitOnLastWindowClosed(false);
    CTessoraApp theApp;
    theApp.m_strStartFile = options->m_strFile;
    theApp.m_bStartMonitor = options->m_bMonitor;
    theApp.m_strCuesFile = options->m_strCuesFile;
    theApp.InitInstance();
    return 0;
}
