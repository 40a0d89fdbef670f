#pragma once
// A local file on Windows, opened for reading (shared with other readers)
// or for writing (replacing an existing file, not shared).
#include <string>

#include "link/BasicLocalFile.h"
#include "link/WinHandle.h"

class WinFile : public BasicLocalFile {
public:
    // Raises CannotOpenFile naming the path as passed, quotes included.
    WinFile(const std::string& path, Mode mode);

protected:
    bool writeOnce(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& written) override;
    bool readOnce(std::uint8_t* bytes, std::uint32_t count, std::uint32_t& read) override;
    bool sizeOf(std::uint32_t& size) override;
    void closeFile() override;
    bool deleteFile() override;

private:
    UniqueFileHandle handle_;
};
