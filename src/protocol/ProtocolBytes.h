#pragma once
// The byte vocabulary of the device family's file-transfer protocol, and the
// sizes that bound its packages. Every byte the protocol layer writes or
// expects is named here.
#include <chrono>
#include <cstdint>

namespace ProtocolBytes {
inline constexpr std::uint8_t RECEIVE_DATA_BLOCK = 0x03;  // a data package follows; opens an upload
inline constexpr std::uint8_t END_OF_FILE = 0x04;         // end of a file's data and of the file list
inline constexpr std::uint8_t ATTRIBUTE_FLAG = 0x05;      // upload header: the flag byte follows
inline constexpr std::uint8_t ACK = 0x06;                 // positive confirmation; the confirmed byte follows
inline constexpr std::uint8_t MONITOR_MODE = 0x0B;        // monitor switch; 0x00 off, 0x01 on
inline constexpr std::uint8_t START_OF_DATA = 0x0F;       // closes an upload header
inline constexpr std::uint8_t NAK = 0x15;                 // negative confirmation; an error code follows
inline constexpr std::uint8_t SYNC = 0x16;                // closes a package or a step
inline constexpr std::uint8_t BEGIN_OF_FILE = 0x1C;       // starts a file record and an upload header
inline constexpr std::uint8_t GET_FILE_LIST = 0x20;
inline constexpr std::uint8_t GET_FILE = 0x21;
inline constexpr std::uint8_t RENAME_FILE = 0x22;
inline constexpr std::uint8_t DELETE_FILE = 0x23;
inline constexpr std::uint8_t GET_DISK_SPACE = 0x25;
inline constexpr std::uint8_t CANCEL_UPLOAD = 0x43;  // cancels the running file transfer

// Arguments of MONITOR_MODE, and what the device confirms when switched off.
inline constexpr std::uint8_t MONITOR_OFF = 0x00;
inline constexpr std::uint8_t MONITOR_ON = 0x01;
inline constexpr std::uint8_t MONITOR_OFF_CONFIRMED_ON_RELEASE = 0x02;

// Identification.
inline constexpr std::uint8_t IDENTIFY = 0xFF;
inline constexpr std::uint8_t IDENTIFY_ANSWER = 0xFE;
inline constexpr std::uint8_t GET_PROTOCOL_VERSION = 0x0C;
inline constexpr std::uint8_t SERIAL_QUERY = 0xAE;
inline constexpr std::uint8_t SERIAL_QUERY_ANSWER = 0x4F;  // 'O'
inline constexpr std::uint8_t OTHER_KIND_QUERY = 0x05;     // sent twice to a device of type 0x90

// Monitor mode.
inline constexpr std::uint8_t MONITOR_START_FRAME = 0x79;
inline constexpr std::uint8_t MONITOR_FRAME_ESCAPE = 0xFE;  // kind A escape
inline constexpr std::uint8_t MONITOR_HELLO = 0x37;         // kind A: frame start
inline constexpr std::uint8_t MONITOR_HELLO_REPLY = 0x34;
inline constexpr std::uint8_t MONITOR_LINE_END = 0x47;    // kind A: line number follows
inline constexpr std::uint8_t MONITOR_LINE_CLEAR = 0x4B;  // kind A: report line without number
inline constexpr std::uint8_t MONITOR_STX = 0x02;         // kind B: line number follows
inline constexpr std::uint8_t MONITOR_CR = 0x0D;
inline constexpr std::uint8_t MONITOR_LF = 0x0A;
inline constexpr std::uint8_t MONITOR_LINE_BASE = 0x28;  // kind B line numbers start here
}  // namespace ProtocolBytes

namespace PackageLimits {
// Payload the PC accepts in one package from the device.
inline constexpr std::uint32_t maxDevicePayload = 80;
// Payload the PC puts into one package (78 + two length bytes = 80).
inline constexpr std::uint32_t maxPcPayload = 78;
// Name bytes of a name package (its buffer holds 68 bytes).
inline constexpr std::uint32_t maxNameBytes = 65;
// Target name of an upload (buffer of 68 bytes).
inline constexpr std::uint32_t maxTargetName = 64;
// Joined file-list data.
inline constexpr std::uint32_t maxListData = 32000;
// A device has no reason to send a package without data: a file list or a
// file of n bytes comes in at most n packages, and one more (an empty one)
// is let pass. With maxListData, no list has more than 32001 packages.
// The time a file list may take: three times what the largest list takes
// in full packages at 19200 baud (400 packages of 80 bytes, 88 bytes on the
// line each with the confirmations, 11 bits a byte: 20 s).
inline constexpr std::chrono::seconds maxListTime{60};
}  // namespace PackageLimits
