#pragma once
// Files and links of a test, given as Unix paths (see NativeHost.h).
#include <cstdint>
#include <string>
#include <vector>

#include "NativeHost.h"

// A temporary folder of one test, removed with everything in it.
class TempDir {
public:
    TempDir() : path_(makeUniqueTempDir()) {}
    ~TempDir() { removeTree(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Unix path of the folder, or of `name` inside it.
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::vector<std::uint8_t> readFileBytes(const std::string& unixPath);
std::string readText(const std::string& unixPath);
// Makes `unixPath` a file holding `text`.
void writeText(const std::string& unixPath, const std::string& text);
// Makes `link` a symbolic link to `target` (replacing what was there).
void pointLink(const std::string& link, const std::string& target);
void removeLink(const std::string& link);
