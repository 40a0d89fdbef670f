#pragma once
// The command line as the tool works with it: UTF-8 texts (local paths are
// UTF-8 on Windows), the program's name first, and the options only one
// platform has.
#include <string>
#include <vector>

namespace CLI {
class App;
}

std::vector<std::string> commandLineArguments(int argc, char** argv);

// Linux: --codepage (or NIMBREL_CODEPAGE), the code page of device names.
void addPlatformOptions(CLI::App& app);
