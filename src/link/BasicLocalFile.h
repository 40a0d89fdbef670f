#pragma once
// The rules every local file follows, whatever the platform: a file is read
// or written as opened, an erased file answers every later call with
// FileNotFound, and each failure carries its composed text. The platform
// supplies the open handle and the single system calls.
#include <cstdint>
#include <string>

#include "link/LocalFile.h"
#include "link/NBException.h"

class BasicLocalFile : public LocalFile {
public:
    std::uint32_t writeBuffer(const std::uint8_t* bytes, std::uint32_t count) override;
    std::uint32_t readBuffer(std::uint8_t* bytes, std::uint32_t count) override;
    std::string getBaseName() const override;
    std::uint32_t getSize() override;
    void erase() override;

    // The path less one enclosing pair of double quotes.
    const std::string& fileName() const { return fileName_; }
    Mode mode() const { return mode_; }

    // `path` less one leading and then one trailing double quote, if it has
    // at least two characters.
    static std::string withoutEnclosingQuotes(const std::string& path);

protected:
    // `className` starts every error text ("WinFile"); `separator` splits the
    // base name off the path.
    BasicLocalFile(const char* className, const std::string& path, Mode mode, char separator);

    // The platform's calls; false when the call failed.
    virtual bool writeOnce(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& written) = 0;
    virtual bool readOnce(std::uint8_t* bytes, std::uint32_t count, std::uint32_t& read) = 0;
    // The size, or nothing when the system reports an error; a file of
    // 4 GiB or more counts as an error, its size would not fit.
    virtual bool sizeOf(std::uint32_t& size) = 0;
    virtual void closeFile() = 0;
    virtual bool deleteFile() = 0;

    FileExceptions::CannotOpenFile cannotOpen(const std::string& pathAsPassed) const;

private:
    std::string site(const char* operation) const;
    FileExceptions::FileNotFound erased(const char* operation) const;

    std::string className_;
    std::string fileName_;
    Mode mode_;
    char separator_;
    bool erased_ = false;
};
