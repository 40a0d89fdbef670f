#pragma once
// The error codes a device sends after NAK, and what each becomes on the
// PC: one table for the protocol, the simulator and the tests.
#include <cstdint>

namespace DeviceError {
inline constexpr std::uint8_t InvalidPackageSize = 1;
inline constexpr std::uint8_t MissingBeginOfFile = 2;
inline constexpr std::uint8_t MissingEndOfFile = 3;
inline constexpr std::uint8_t MissingAttributeFlag = 4;
inline constexpr std::uint8_t MissingStartOfData = 5;
inline constexpr std::uint8_t MissingGetFile = 6;
inline constexpr std::uint8_t MissingDeleteFile = 7;
inline constexpr std::uint8_t MissingRenameFile = 8;
inline constexpr std::uint8_t CannotOpenTempFile = 9;
inline constexpr std::uint8_t CannotCloseTempFile = 10;
inline constexpr std::uint8_t CannotRenameTempFile = 11;
inline constexpr std::uint8_t CannotDeleteTempFile = 12;
inline constexpr std::uint8_t CannotOpenFile = 13;
inline constexpr std::uint8_t CannotWriteToFile = 14;
inline constexpr std::uint8_t CannotDeleteFile = 15;
inline constexpr std::uint8_t CannotRenameFile = 16;
inline constexpr std::uint8_t CannotRetrieveDiskInfo = 17;
inline constexpr std::uint8_t PageFrameError = 18;
inline constexpr std::uint8_t FileAlreadyExists = 19;
inline constexpr std::uint8_t ConnectionTimeout = 20;
inline constexpr std::uint8_t EditorIsOpen = 21;
inline constexpr std::uint8_t BufferOverflow = 22;
inline constexpr std::uint8_t CanceledByPc = 23;  // also what the PC sends when it cancels a download
inline constexpr std::uint8_t FileNotFound = 24;
inline constexpr std::uint8_t WrongCommandConfirmed = 26;

// The exception class each code raises (NBException.h).
enum class Kind { Protocol, OnDevice, AlreadyExists, Cancelled, NotFound };

struct Entry {
    std::uint8_t code;
    Kind kind;
    const char* text;  // appended to the transaction's prefix
};

inline constexpr Entry table[] = {
    {InvalidPackageSize, Kind::Protocol, "Invalid package size."},
    {MissingBeginOfFile, Kind::Protocol, "Missing BEGIN_OF_FILE marker."},
    {MissingEndOfFile, Kind::Protocol, "Missing END_OF_FILE marker."},
    {MissingAttributeFlag, Kind::Protocol, "Missing file attribute flag byte."},
    {MissingStartOfData, Kind::Protocol, "Missing start of file data marker."},
    {MissingGetFile, Kind::Protocol, "Missing GET_FILE command."},
    {MissingDeleteFile, Kind::Protocol, "Missing DELETE_FILE command."},
    {MissingRenameFile, Kind::Protocol, "Missing RENAME_FILE command."},
    {CannotOpenTempFile, Kind::OnDevice, "Cannot open temp file."},
    {CannotCloseTempFile, Kind::OnDevice, "Cannot close temp file."},
    {CannotRenameTempFile, Kind::OnDevice, "Cannot rename temp file."},
    {CannotDeleteTempFile, Kind::OnDevice, "Cannot delete temp file."},
    {CannotOpenFile, Kind::OnDevice, "Cannot open requested file."},
    {CannotWriteToFile, Kind::OnDevice, "Cannot write to file."},
    {CannotDeleteFile, Kind::OnDevice, "Cannot delete requested file."},
    {CannotRenameFile, Kind::OnDevice, "Cannot rename requested file."},
    {CannotRetrieveDiskInfo, Kind::OnDevice, "Cannot retrieve disk info."},
    {PageFrameError, Kind::Protocol, "Page frame error."},
    {FileAlreadyExists, Kind::AlreadyExists, ""},
    {ConnectionTimeout, Kind::Protocol, "Connection timeout."},
    {EditorIsOpen, Kind::OnDevice, " Editor is open."},
    {BufferOverflow, Kind::Protocol, "Buffer overflow."},
    {CanceledByPc, Kind::Cancelled, "Transmission canceled by user (PC side)."},
    {FileNotFound, Kind::NotFound, "File not found on device."},
    {WrongCommandConfirmed, Kind::OnDevice, "Wrong command confirmed (Wrong ACK)."},
};

// Every other code (0, 25, 27 to 255).
inline constexpr Entry unknown{0, Kind::Protocol, " No detailled description available."};

constexpr const Entry& entryFor(std::uint8_t code) {
    for (const Entry& entry : table)
        if (entry.code == code) return entry;
    return unknown;
}
}  // namespace DeviceError
