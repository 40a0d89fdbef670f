#pragma once
// `nimbrel mount`: the devices as a folder, on Linux only (Windows has the
// Explorer extension).
#include <CLI/CLI.hpp>

#include <functional>
#include <string>

#include "Commands.h"

// Makes a subcommand (name, description, examples) as main's other commands are made.
using CommandMaker =
    std::function<CLI::App*(const std::string& name, const std::string& description, const std::string& examples)>;

void addMountCommand(const CommandMaker& makeCommand, const GlobalOptions& options,
                     const std::function<void(int)>& setExitCode);
