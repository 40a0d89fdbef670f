#pragma once
// Every failure of the device layers (serial port, local file, device
// protocol) is raised as one of these plain values. Upper layers decide on
// the code alone; the description is for diagnostics and never shown to users.
#include <cstddef>
#include <cstdint>
#include <string>

class NBException {
public:
    static constexpr std::size_t maxDescription = 512;

    const char* typeName;
    char description[maxDescription + 1];
    std::int32_t code;

protected:
    NBException(const char* text, std::int32_t errorCode, const char* concreteTypeName);

private:
    void applyDescription(const char* text);
};

namespace FileExceptions {
class FileException : public NBException {
protected:
    using NBException::NBException;
};
}  // namespace FileExceptions

namespace PortExceptions {
class PortException : public NBException {
protected:
    using NBException::NBException;
};
}  // namespace PortExceptions

namespace ProtocolExceptions {
class ProtocolException : public NBException {
protected:
    using NBException::NBException;
};
}  // namespace ProtocolExceptions

// One concrete class per failure. Each takes the composed description
// (null keeps the default text). The arguments are a base and a class name,
// which cannot stand in parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define NIMBREL_EXCEPTION_CLASS(Family, Name, Code)                                   \
    class Name : public Family {                                                      \
    public:                                                                           \
        explicit Name(const char* text = nullptr) : Family(text, Code, #Name) {}      \
        explicit Name(const std::string& text) : Family(text.c_str(), Code, #Name) {} \
    };
// NOLINTEND(bugprone-macro-parentheses)

namespace FileExceptions {
NIMBREL_EXCEPTION_CLASS(FileException, FileNotFound, 1)
NIMBREL_EXCEPTION_CLASS(FileException, CannotOpenFile, 2)
NIMBREL_EXCEPTION_CLASS(FileException, CannotWriteToFile, 3)
NIMBREL_EXCEPTION_CLASS(FileException, CannotDeleteFile, 4)
NIMBREL_EXCEPTION_CLASS(FileException, CannotReadFromFile, 5)
NIMBREL_EXCEPTION_CLASS(FileException, CannotReadFileSize, 6)
}  // namespace FileExceptions

namespace PortExceptions {
NIMBREL_EXCEPTION_CLASS(PortException, UnableToOpenPort, 10)
NIMBREL_EXCEPTION_CLASS(PortException, CannotWriteToPort, 11)
NIMBREL_EXCEPTION_CLASS(PortException, CannotReadFromPort, 12)
NIMBREL_EXCEPTION_CLASS(PortException, ErrorOnInitialization, 13)
}  // namespace PortExceptions

namespace ProtocolExceptions {
NIMBREL_EXCEPTION_CLASS(ProtocolException, ErrorInProtocol, 15)
NIMBREL_EXCEPTION_CLASS(ProtocolException, MismatchingProtocol, 16)
NIMBREL_EXCEPTION_CLASS(ProtocolException, FileAlreadyExitsOnDevice, 18)
NIMBREL_EXCEPTION_CLASS(ProtocolException, FileNotFoundOnDevice, 19)
NIMBREL_EXCEPTION_CLASS(ProtocolException, IllegalTargetFileName, 20)
NIMBREL_EXCEPTION_CLASS(ProtocolException, IllegalSourceFileName, 21)
NIMBREL_EXCEPTION_CLASS(ProtocolException, InvalidArgument, 22)
NIMBREL_EXCEPTION_CLASS(ProtocolException, ErrorOnDevice, 23)
NIMBREL_EXCEPTION_CLASS(ProtocolException, NotEnoughMemory, 25)
NIMBREL_EXCEPTION_CLASS(ProtocolException, MethodCollision, 28)
NIMBREL_EXCEPTION_CLASS(ProtocolException, WrongCommandConfirmed, 29)
NIMBREL_EXCEPTION_CLASS(ProtocolException, TransmissionCanceledByUser, 30)
NIMBREL_EXCEPTION_CLASS(ProtocolException, WrongProtocolVersion, 31)
}  // namespace ProtocolExceptions

#undef NIMBREL_EXCEPTION_CLASS

// Error codes as the upper layers compare them.
namespace ErrorCode {
inline constexpr std::int32_t FileAlreadyExists = 18;
inline constexpr std::int32_t FileNotFoundOnDevice = 19;
inline constexpr std::int32_t IllegalTargetFileName = 20;
inline constexpr std::int32_t IllegalSourceFileName = 21;
inline constexpr std::int32_t NotEnoughMemory = 25;
inline constexpr std::int32_t Cancelled = 30;
}  // namespace ErrorCode
