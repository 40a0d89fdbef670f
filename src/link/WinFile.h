#pragma once
// A local file on Windows, opened for reading (shared with other readers)
// or for writing (a new file beside the path, not shared, renamed over the
// path on commit). Paths are UTF-8 and reach the system through its wide
// calls, so any folder name works.
#include <string>

#include "link/BasicLocalFile.h"
#include "link/WinHandle.h"

class WinFile : public BasicLocalFile {
public:
    // Raises CannotOpenFile naming the path as passed, quotes included.
    WinFile(const std::string& path, Mode mode);
    ~WinFile() override;
    WinFile(const WinFile&) = delete;
    WinFile& operator=(const WinFile&) = delete;

protected:
    bool writeOnce(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& written) override;
    bool readOnce(std::uint8_t* bytes, std::uint32_t count, std::uint32_t& read) override;
    bool sizeOf(std::uint32_t& size) override;
    bool flushFile() override;
    void closeFile() override;
    bool deleteFile() override;
    bool replacePath() override;

private:
    UniqueFileHandle handle_;
};
