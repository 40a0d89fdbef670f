#include <gtest/gtest.h>

#include <string>

#include "link/NBException.h"
#include "link/PortErrors.h"

using namespace FileExceptions;
using namespace PortExceptions;
using namespace ProtocolExceptions;

TEST(NBExceptionTest, DescriptionsUpTo512CharactersStayWholeLongerOnesAreCutAndNullKeepsTheDefault) {
    for (const std::size_t length : {511u, 512u}) {
        const std::string text(length, 'a');
        EXPECT_EQ(std::string(CannotOpenFile(text).description), text) << "a text of " << length << " characters";
    }
    const CannotReadFromPort cut(std::string(512, 'c') + std::string(188, 'd'));
    EXPECT_EQ(std::string(cut.description), std::string(512, 'c'));
    EXPECT_EQ(cut.description[512], '\0');

    const MethodCollision collision(static_cast<const char*>(nullptr));
    EXPECT_STREQ(collision.description, "No error description available");
    EXPECT_EQ(collision.code, 28);
}

template <typename... Classes>
std::string namesAndCodes() {
    return ((std::string(Classes("x").typeName) + " " + std::to_string(Classes("x").code) + ", ") + ...);
}

TEST(NBExceptionTest, EveryClassCarriesItsOwnNameAndCode) {
    EXPECT_EQ((namesAndCodes<FileNotFound, CannotOpenFile, CannotWriteToFile, CannotDeleteFile, CannotReadFromFile,
                             CannotReadFileSize, UnableToOpenPort, CannotWriteToPort, CannotReadFromPort,
                             ErrorOnInitialization, ErrorInProtocol, MismatchingProtocol, FileAlreadyExitsOnDevice,
                             FileNotFoundOnDevice, IllegalTargetFileName, IllegalSourceFileName, InvalidArgument,
                             ErrorOnDevice, NotEnoughMemory, MethodCollision, WrongCommandConfirmed,
                             TransmissionCanceledByUser, WrongProtocolVersion>()),
              "FileNotFound 1, CannotOpenFile 2, CannotWriteToFile 3, CannotDeleteFile 4, CannotReadFromFile 5, "
              "CannotReadFileSize 6, UnableToOpenPort 10, CannotWriteToPort 11, CannotReadFromPort 12, "
              "ErrorOnInitialization 13, ErrorInProtocol 15, MismatchingProtocol 16, FileAlreadyExitsOnDevice 18, "
              "FileNotFoundOnDevice 19, IllegalTargetFileName 20, IllegalSourceFileName 21, InvalidArgument 22, "
              "ErrorOnDevice 23, NotEnoughMemory 25, MethodCollision 28, WrongCommandConfirmed 29, "
              "TransmissionCanceledByUser 30, WrongProtocolVersion 31, ");
    EXPECT_THROW(throw CannotReadFileSize("x"), FileException);
    EXPECT_THROW(throw ErrorOnInitialization("x"), PortException);
    EXPECT_THROW(throw ErrorOnDevice("x"), ProtocolException);
}

TEST(PortErrorsTest, LineErrorWordsAreNamedAsAWholeAndCombinationsAreUndefined) {
    const PortErrors errors("WinSerialPort", "\\\\.\\COM3");
    const std::string head = "WinSerialPort::readBuffer --  Error while reading from port \"\\\\.\\COM3\". COM error: ";
    std::string texts;
    for (const std::uint32_t word : {1, 2, 4, 8, 16, 256, 512, 1024, 2048, 4096, 32768, 4 | 8, 32}) {
        const auto raised = errors.lineError(word);
        EXPECT_EQ(raised.code, 12);
        EXPECT_EQ(std::string(raised.description).substr(0, head.size()), head);
        texts += std::string(raised.description).substr(head.size()) + "|";
    }
    EXPECT_EQ(texts,
              "Receive Queue overflow|Receive Overrun Error|Receive Parity Error|Receive Framing error|Break Detected|"
              "TX Queue is full|LPTx Timeout|LPTx I/O Error|LPTx Device not selected|LPTx Out-Of-Paper|"
              "Requested mode unsupported|undefined error|undefined error|");
}
