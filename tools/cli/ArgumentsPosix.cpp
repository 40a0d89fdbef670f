#include <CLI/CLI.hpp>

#include "Arguments.h"
#include "transfer/FileNames.h"

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void addPlatformOptions(CLI::App& app) {
    const CLI::Validator knownCodePage(
        [](std::string& name) { return setDeviceCodePage(name) ? std::string() : "no such code page here: " + name; },
        "CODEPAGE");
    app.add_option("--codepage", "The code page of the device's file names (default WINDOWS-1252)")
        ->envname("NIMBREL_CODEPAGE")
        ->check(knownCodePage);
}
