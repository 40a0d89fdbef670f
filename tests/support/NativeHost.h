#pragma once
// What a test needs from the Linux host it runs on, natively or under Wine:
// paths, temporary folders and native programs. Paths given to and taken
// from these functions are Unix paths; hostPath turns one into the form the
// test program's own file calls understand (Z:\... under Wine).
#include <string>
#include <vector>

std::string hostPath(const std::string& unixPath);
bool pathExists(const std::string& unixPath);

// A new, empty folder below /tmp with a name of its own (Unix path).
std::string makeUniqueTempDir();
void removeTree(const std::string& unixPath);

// Starts a native program (argv[0] is its Unix path). Returns its pid when
// the platform tells it, 0 under Wine, which runs Linux programs but hands
// out no process handle.
long startNative(const std::vector<std::string>& argv);
// False once a program started with a known pid has ended.
bool nativeRunning(long pid);
// Asks a program by pid to stop (SIGTERM); with `reap`, waits for it to end.
void stopNative(long pid, bool reap);
// Runs a native program to its end; returns its exit status.
int runNative(const std::vector<std::string>& argv);
