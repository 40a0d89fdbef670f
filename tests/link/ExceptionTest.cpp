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

TEST(NBExceptionTest, EveryClassCarriesItsOwnNameAndCode) {
    const NBException raised[] = {FileNotFound("x"),
                                  CannotOpenFile("x"),
                                  CannotWriteToFile("x"),
                                  CannotDeleteFile("x"),
                                  CannotReadFromFile("x"),
                                  CannotReadFileSize("x"),
                                  UnableToOpenPort("x"),
                                  CannotWriteToPort("x"),
                                  CannotReadFromPort("x"),
                                  ErrorOnInitialization("x"),
                                  ErrorInProtocol("x"),
                                  MismatchingProtocol("x"),
                                  FileAlreadyExitsOnDevice("x"),
                                  FileNotFoundOnDevice("x"),
                                  IllegalTargetFileName("x"),
                                  IllegalSourceFileName("x"),
                                  InvalidArgument("x"),
                                  ErrorOnDevice("x"),
                                  NotEnoughMemory("x"),
                                  MethodCollision("x"),
                                  WrongCommandConfirmed("x"),
                                  TransmissionCanceledByUser("x"),
                                  WrongProtocolVersion("x")};
    std::string names;
    for (const NBException& exception : raised)
        names += std::string(exception.typeName) + " " + std::to_string(exception.code) + ", ";
    EXPECT_EQ(names,
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

TEST(NBExceptionTest, ReraisedAsRootKeepsCodeTextAndNameButOnlyTheRootCatchesIt) {
    try {
        try {
            throw CannotWriteToPort("write failed");
        } catch (NBException caught) {
            throw caught;  // as the protocol layer does after cleaning up
        }
    } catch (const PortException&) {
        ADD_FAILURE() << "a value raised as the root class must not match its old family";
    } catch (const NBException& root) {
        EXPECT_EQ(std::string(root.typeName) + " " + std::to_string(root.code) + ": " + root.description,
                  "CannotWriteToPort 11: write failed");
    }
}

TEST(PortErrorsTest, LineErrorWordsAreNamedAsAWholeAndCombinationsAreUndefined) {
    const PortErrors errors("WinSerialPort", "\\\\.\\COM3");
    const std::string head = "WinSerialPort::readBuffer --  Error while reading from port \"\\\\.\\COM3\". COM error: ";
    const std::pair<std::uint32_t, const char*> table[] = {
        {1, "Receive Queue overflow"},
        {2, "Receive Overrun Error"},
        {4, "Receive Parity Error"},
        {8, "Receive Framing error"},
        {16, "Break Detected"},
        {256, "TX Queue is full"},
        {512, "LPTx Timeout"},
        {1024, "LPTx I/O Error"},
        {2048, "LPTx Device not selected"},
        {4096, "LPTx Out-Of-Paper"},
        {32768, "Requested mode unsupported"},
        {4 | 8, "undefined error"},
        {32, "undefined error"},
    };
    for (const auto& [word, text] : table) {
        const auto raised = errors.lineError(word);
        EXPECT_EQ(raised.code, 12);
        EXPECT_EQ(std::string(raised.description), head + text) << "for error word " << word;
    }
}
