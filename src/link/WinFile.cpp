#include "link/WinFile.h"

#include <memory>

namespace {

// Local paths are UTF-8; the system takes them wide.
std::wstring widePath(const std::string& path) {
    if (path.empty()) return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
    return wide;
}

std::string utf8Path(const std::wstring& path) {
    if (path.empty()) return {};
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), narrow.data(), length, nullptr,
                          nullptr);
    return narrow;
}

}  // namespace

// A drive's colon ends a folder part too ("C:name").
WinFile::WinFile(const std::string& path, Mode mode) : BasicLocalFile("WinFile", path, mode, "\\/:") {
    if (mode == ReadMode) {
        handle_.reset(::CreateFileW(widePath(fileName()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    } else {
        // CREATE_NEW fails on any name that exists, a link included.
        createBeside([this](const std::string& name) {
            handle_.reset(::CreateFileW(widePath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            if (handle_) return Creation::Created;
            const DWORD error = ::GetLastError();
            return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Creation::NameTaken : Creation::Failed;
        });
    }
    if (!handle_) throw cannotOpen(path);
}

WinFile::~WinFile() {
    discardUncommitted();
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

bool WinFile::flushFile() {
    return ::FlushFileBuffers(handle_.get()) != FALSE;
}

void WinFile::closeFile() {
    handle_.reset();
}

bool WinFile::deleteFile() {
    return ::DeleteFileW(widePath(workingName()).c_str()) != FALSE;
}

bool WinFile::replacePath() {
    return ::MoveFileExW(widePath(workingName()).c_str(), widePath(fileName()).c_str(), MOVEFILE_REPLACE_EXISTING) !=
           FALSE;
}

std::unique_ptr<LocalFile> openLocalFile(const std::string& path, LocalFile::Mode mode) {
    return std::make_unique<WinFile>(path, mode);
}

std::string makeTemporaryFile() {
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || ::GetTempFileNameW(folder, L"~NB_", 0, path) == 0) return {};
    return utf8Path(path);
}

bool isLocalDirectory(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(widePath(BasicLocalFile::withoutEnclosingQuotes(path)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool removeLocalFile(const std::string& path) {
    const std::wstring wide = widePath(path);
    return ::DeleteFileW(wide.c_str()) != FALSE || ::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES;
}
