#pragma once
// The rules every local file follows, whatever the platform: a file is read
// or written as opened, an erased file answers every later call with
// FileNotFound, and each failure carries its composed text. The platform
// supplies the open handle and the single system calls.
#include <cstdint>
#include <functional>
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
    void commit() override;

    // The path less one enclosing pair of double quotes.
    const std::string& fileName() const { return fileName_; }
    Mode mode() const { return mode_; }

    // `path` less one leading and then one trailing double quote, if it has
    // at least two characters.
    static std::string withoutEnclosingQuotes(const std::string& path);

protected:
    // `className` starts every error text ("WinFile"); `separators` end the
    // folder part of a path (the first of them splits off the base name).
    BasicLocalFile(const char* className, const std::string& path, Mode mode, const char* separators);

    // What `create` says of one name it was asked to make a new file under.
    enum class Creation { Created, NameTaken, Failed };
    // Write mode: asks `create` for new names beside the path until one is
    // made; false when none could be.
    bool createBeside(const std::function<Creation(const std::string& name)>& create);
    // The file that is open: the new one beside the path in write mode.
    const std::string& workingName() const { return workingName_; }
    // For the platform's destructor: removes a written file never committed.
    void discardUncommitted() noexcept;

    // The platform's calls; false when the call failed.
    virtual bool writeOnce(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& written) = 0;
    virtual bool readOnce(std::uint8_t* bytes, std::uint32_t count, std::uint32_t& read) = 0;
    // The size, or nothing when the system reports an error; a file of
    // 4 GiB or more counts as an error, its size would not fit.
    virtual bool sizeOf(std::uint32_t& size) = 0;
    // Flushes what was written to the disk.
    virtual bool flushFile() = 0;
    virtual void closeFile() = 0;
    // Deletes the working file.
    virtual bool deleteFile() = 0;
    // Renames the working file over the path.
    virtual bool replacePath() = 0;

    FileExceptions::CannotOpenFile cannotOpen(const std::string& pathAsPassed) const;

private:
    std::string site(const char* operation) const;
    FileExceptions::FileNotFound erased(const char* operation) const;

    std::string className_;
    std::string fileName_;
    std::string workingName_;
    Mode mode_;
    std::string separators_;
    bool erased_ = false;
    bool committed_ = false;
};
