#pragma once
// A local file on POSIX systems, the twin of WinFile: same rules, same
// texts, with "PosixFile::" naming the raising class.
#include <string>

#include "link/BasicLocalFile.h"
#include "link/PosixFd.h"

class PosixFile : public BasicLocalFile {
public:
    // Raises CannotOpenFile naming the path as passed, quotes included.
    PosixFile(const std::string& path, Mode mode);
    ~PosixFile() override;
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

protected:
    bool writeOnce(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& written) override;
    bool readOnce(std::uint8_t* bytes, std::uint32_t count, std::uint32_t& read) override;
    bool sizeOf(std::uint32_t& size) override;
    bool flushFile() override;
    void closeFile() override;
    bool deleteFile() override;
    bool replacePath() override;

private:
    UniqueFd fd_;
};
