#include "link/BasicLocalFile.h"

#include <cstdio>
#include <random>

namespace {
// New names beside a path are tried until one is free; far more than a
// folder shared with others ever needs.
constexpr int creationAttempts = 100;
}  // namespace

BasicLocalFile::BasicLocalFile(const char* className, const std::string& path, Mode mode, const char* separators)
    : className_(className),
      fileName_(withoutEnclosingQuotes(path)),
      workingName_(fileName_),
      mode_(mode),
      separators_(separators) {}

std::string BasicLocalFile::withoutEnclosingQuotes(const std::string& path) {
    if (path.size() < 2) return path;
    std::string name = path;
    if (name.front() == '"') name.erase(0, 1);
    if (!name.empty() && name.back() == '"') name.pop_back();
    return name;
}

bool BasicLocalFile::createBeside(const std::function<Creation(const std::string& name)>& create) {
    const std::size_t cut = fileName_.find_last_of(separators_);
    const std::string folder = cut == std::string::npos ? std::string() : fileName_.substr(0, cut + 1);
    thread_local std::mt19937 random{std::random_device{}()};
    for (int attempt = 0; attempt < creationAttempts; ++attempt) {
        char leaf[24];
        std::snprintf(leaf, sizeof leaf, "~NB_%08X.tmp", static_cast<unsigned>(random()));
        const std::string candidate = folder + leaf;
        const Creation result = create(candidate);
        if (result == Creation::Created) {
            workingName_ = candidate;
            return true;
        }
        if (result == Creation::Failed) return false;
    }
    return false;
}

void BasicLocalFile::discardUncommitted() noexcept {
    if (mode_ != WriteMode || erased_ || committed_) return;
    closeFile();
    deleteFile();
}

std::string BasicLocalFile::site(const char* operation) const {
    return className_ + "::" + operation + " -- ";
}

FileExceptions::FileNotFound BasicLocalFile::erased(const char* operation) const {
    return FileExceptions::FileNotFound(site(operation) + " File " + fileName_ + " was erased.");
}

FileExceptions::CannotOpenFile BasicLocalFile::cannotOpen(const std::string& pathAsPassed) const {
    return FileExceptions::CannotOpenFile(site(className_.c_str()) + "Cannot open file " + pathAsPassed +
                                          (mode_ == ReadMode ? " in read-Mode." : " in write-Mode."));
}

std::uint32_t BasicLocalFile::writeBuffer(const std::uint8_t* bytes, std::uint32_t count) {
    if (erased_) throw erased("writeBuffer");
    const std::string cannotWrite = site("writeBuffer") + " Can't write to file " + fileName_;
    if (mode_ == ReadMode || committed_)
        throw FileExceptions::CannotWriteToFile(cannotWrite + ". File is opened readonly.");
    std::uint32_t written = 0;
    if (!writeOnce(bytes, count, written))
        throw FileExceptions::CannotWriteToFile(cannotWrite + ". Error occured while writing.");
    return written;
}

std::uint32_t BasicLocalFile::readBuffer(std::uint8_t* bytes, std::uint32_t count) {
    if (erased_) throw erased("readBuffer");
    const std::string cannotRead = site("readBuffer") + " Can't read from file " + fileName_;
    if (mode_ == WriteMode)
        throw FileExceptions::CannotReadFromFile(cannotRead + ". File is opened with writeonly-flag.");
    std::uint32_t read = 0;
    if (!readOnce(bytes, count, read))
        throw FileExceptions::CannotReadFromFile(cannotRead + ". Error occured while reading.");
    return read;
}

std::uint32_t BasicLocalFile::getSize() {
    std::uint32_t size = 0;
    if (!sizeOf(size))
        throw FileExceptions::CannotReadFileSize(site("getSize") + " Can't detect size of file " + fileName_ + ".");
    return size;
}

std::string BasicLocalFile::getBaseName() const {
    const std::size_t split = fileName_.rfind(separators_.front());
    return split == std::string::npos ? fileName_ : fileName_.substr(split + 1);
}

void BasicLocalFile::erase() {
    if (erased_) throw erased("erase");
    closeFile();
    erased_ = true;
    if (!deleteFile()) throw FileExceptions::CannotDeleteFile(site("erase") + " Can't delete file " + fileName_ + ".");
}

void BasicLocalFile::commit() {
    if (erased_) throw erased("commit");
    if (mode_ == ReadMode || committed_) return;
    const bool flushed = flushFile();
    closeFile();
    if (flushed && replacePath()) {
        committed_ = true;
        workingName_ = fileName_;
        return;
    }
    erased_ = true;
    deleteFile();
    throw FileExceptions::CannotWriteToFile(site("commit") + " Can't write to file " + fileName_ +
                                            ". Error occured while replacing it.");
}
