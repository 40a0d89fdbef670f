#pragma once
// The byte vocabulary of the line, as the device side uses it: the bytes
// both sides name come from the protocol's own table; what only a device
// needs to know is named here.
#include <cstddef>
#include <cstdint>

#include "protocol/DeviceErrors.h"
#include "protocol/ProtocolBytes.h"

namespace devsim::wire {
using namespace ::ProtocolBytes;

// Identification.
inline constexpr std::uint8_t OTHER_KIND_TYPE = 0x90;
inline constexpr std::uint8_t SERIAL_QUERY_OK = 0x4F;  // 'O'
inline constexpr char SERIAL_REQUEST[] = "INFO N";
inline constexpr char SERIAL_ANSWER[] = "INFOI";
inline constexpr unsigned SERIAL_BLOCK_SIZE = 40;
inline constexpr unsigned SERIAL_TEXT_SIZE = 12;
inline constexpr unsigned OTHER_KIND_SERIAL_SIZE = 8;

// Monitor mode.
inline constexpr std::uint8_t PORT_GIVEN_BACK = 0x02;  // confirmed when the PC gives the port back
inline constexpr unsigned MONITOR_START_FRAME_REST = 4;
inline constexpr std::uint8_t MONITOR_END = 0x0A;
inline constexpr std::uint8_t FRAME_A_ESCAPE = 0xFE;
inline constexpr std::uint8_t FRAME_A_HANDSHAKE = 0x37;
inline constexpr std::uint8_t FRAME_A_HANDSHAKE_REPLY = 0x34;
inline constexpr std::uint8_t FRAME_A_LINE_END = 0x47;
inline constexpr std::uint8_t FRAME_B_START = 0x02;
inline constexpr std::uint8_t FRAME_B_LINE_BASE = 0x28;
inline constexpr std::uint8_t FRAME_B_LINE_END = 0x0D;

// Upload flag byte.
inline constexpr std::uint8_t FLAG_KEEP_EXISTING = 0x00;
inline constexpr std::uint8_t FLAG_REPLACE = 0x01;
inline constexpr std::uint8_t FLAG_BRAILLE_TABLE = 0x80;
inline constexpr std::uint8_t FLAG_BACKWARD_SEARCH = 0x40;
inline constexpr unsigned BRAILLE_TABLE_SIZE = 256;

// Sizes.
inline constexpr std::size_t MAX_DEVICE_PAYLOAD = 80;                 // what the PC accepts per package
inline constexpr std::size_t MAX_PC_PAYLOAD = 80;                     // what this device accepts per package
inline constexpr std::size_t MAX_NAME = PackageLimits::maxNameBytes;  // what fits the PC's name package buffer
inline constexpr std::size_t FILE_RECORD_OVERHEAD = 14;

}  // namespace devsim::wire

// The error codes the device sends after NAK: the protocol's own table.
namespace devsim {
namespace refusal = ::DeviceError;
}  // namespace devsim
