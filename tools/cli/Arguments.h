#pragma once
// The command line as the tool works with it: UTF-8 texts (local paths are
// UTF-8 on Windows), the program's name first.
#include <string>
#include <vector>

std::vector<std::string> commandLineArguments(int argc, char** argv);
