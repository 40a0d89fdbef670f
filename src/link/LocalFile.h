#pragma once
// The local-disk end of a file transfer: WinFile on Windows, PosixFile
// elsewhere. Failures are raised as FileExceptions.
//
// A file opened for writing never touches its path until commit: the bytes
// go to a new file of its own beside it (created exclusively, never through
// a link), which commit flushes and renames over the path. A file that is
// not committed, erased or not, is removed with its object, so a failed
// transfer leaves whatever the path held before.
#include <cstdint>
#include <memory>
#include <string>

class LocalFile {
public:
    enum Mode : std::int32_t { ReadMode = 0, WriteMode = 1 };

    LocalFile() = default;
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    virtual std::uint32_t writeBuffer(const std::uint8_t* bytes, std::uint32_t count) = 0;
    // Returns 0 at the end of the file.
    virtual std::uint32_t readBuffer(std::uint8_t* bytes, std::uint32_t count) = 0;
    // Last component of the stored name.
    virtual std::string getBaseName() const = 0;
    virtual std::uint32_t getSize() = 0;
    // Closes and deletes the file (a partly downloaded file is not kept);
    // for a file opened for writing, only what was written.
    virtual void erase() = 0;
    // Makes what was written the file at the path, replacing what was
    // there. Nothing to do for a file opened for reading.
    virtual void commit() = 0;

    virtual ~LocalFile() = default;
};

// Local paths are UTF-8 on Windows (opened through the wide calls, so any
// folder name works) and the system's bytes elsewhere.

// Opens a local file of this platform (WinFile or PosixFile).
std::unique_ptr<LocalFile> openLocalFile(const std::string& path, LocalFile::Mode mode);

// A new empty file with the prefix "~NB_" in the user's temporary folder;
// its path, or an empty text when none could be made.
std::string makeTemporaryFile();

// True when the path names a folder.
bool isLocalDirectory(const std::string& path);

// Deletes a file if it is there; true when it is gone.
bool removeLocalFile(const std::string& path);
