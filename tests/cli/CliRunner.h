#pragma once
// Runs the real nimbrel program as a user's shell would: arguments, an
// environment, text on stdin; collects its output and exit code.
#include <functional>
#include <string>
#include <vector>

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct CliRun {
    std::vector<std::string> args;
    std::vector<std::string> environment;  // "NAME=value", added to ours
    std::string input;                     // written to stdin, which is then closed
    // Looked at whenever output arrives; returning true sends SIGINT once.
    std::function<bool(const std::string& out, const std::string& err)> interruptWhen;
};

CliResult runCli(const std::string& program, const CliRun& run);
