#include "link/WinFile.h"

#include <memory>

WinFile::WinFile(const std::string& path, Mode mode) : BasicLocalFile("WinFile", path, mode, '\\') {
    if (mode == ReadMode) {
        handle_.reset(::CreateFileA(fileName().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    } else {
        handle_.reset(::CreateFileA(fileName().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    }
    if (!handle_) throw cannotOpen(path);
}

bool WinFile::writeOnce(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& written) {
    DWORD done = 0;
    const BOOL ok = ::WriteFile(handle_.get(), bytes, count, &done, nullptr);
    written = done;
    return ok != FALSE;
}

bool WinFile::readOnce(std::uint8_t* bytes, std::uint32_t count, std::uint32_t& read) {
    DWORD done = 0;
    const BOOL ok = ::ReadFile(handle_.get(), bytes, count, &done, nullptr);
    read = done;
    return ok != FALSE;
}

bool WinFile::sizeOf(std::uint32_t& size) {
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    size = ::GetFileSize(handle_.get(), &high);
    if (size == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    // The low half alone would send a wrong size to the device.
    return high == 0;
}

void WinFile::closeFile() {
    handle_.reset();
}

bool WinFile::deleteFile() {
    return ::DeleteFileA(fileName().c_str()) != FALSE;
}

std::unique_ptr<LocalFile> openLocalFile(const std::string& path, LocalFile::Mode mode) {
    return std::make_unique<WinFile>(path, mode);
}
