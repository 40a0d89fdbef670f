#pragma once
// `nimbrel mount`: the devices as a folder, on Linux only (Windows has the
// Explorer extension).
#include <CLI/CLI.hpp>

#include <functional>

#include "Commands.h"

void addMountCommand(CLI::App& app, const GlobalOptions& options, const std::function<void(int)>& setExitCode);
