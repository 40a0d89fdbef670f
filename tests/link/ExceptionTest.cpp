#include <gtest/gtest.h>

#include <string>

#include "link/NBException.h"
#include "link/PortErrors.h"

using namespace std::string_literals;

TEST(NBExceptionTest, DescriptionsUpTo511CharactersStayWholeLongerOnesAreCutTo512) {
    const std::string text511(511, 'a');
    EXPECT_EQ(std::string(FileExceptions::CannotOpenFile(text511).description), text511);

    const std::string text512(512, 'b');
    EXPECT_EQ(std::string(FileExceptions::CannotOpenFile(text512).description), text512);

    const std::string text700 = std::string(512, 'c') + std::string(188, 'd');
    const PortExceptions::CannotReadFromPort cut(text700);
    EXPECT_EQ(std::string(cut.description), std::string(512, 'c'));
    EXPECT_EQ(cut.description[512], '\0');
}

TEST(NBExceptionTest, NullDescriptionKeepsTheDefaultTextAndTheClassCode) {
    const ProtocolExceptions::MethodCollision collision(static_cast<const char*>(nullptr));
    EXPECT_STREQ(collision.description, "No error description available");
    EXPECT_EQ(collision.code, 28);
    EXPECT_STREQ(collision.typeName, "MethodCollision");
}

template <typename Exception>
void expectClass(const char* name, std::int32_t code) {
    const Exception raised("x");
    EXPECT_STREQ(raised.typeName, name) << "for code " << code;
    EXPECT_EQ(raised.code, code) << "for " << name;
}

TEST(NBExceptionTest, EveryClassCarriesItsOwnNameAndCode) {
    using namespace FileExceptions;
    using namespace PortExceptions;
    using namespace ProtocolExceptions;
    expectClass<FileNotFound>("FileNotFound", 1);
    expectClass<CannotOpenFile>("CannotOpenFile", 2);
    expectClass<CannotWriteToFile>("CannotWriteToFile", 3);
    expectClass<CannotDeleteFile>("CannotDeleteFile", 4);
    expectClass<CannotReadFromFile>("CannotReadFromFile", 5);
    expectClass<CannotReadFileSize>("CannotReadFileSize", 6);
    expectClass<UnableToOpenPort>("UnableToOpenPort", 10);
    expectClass<CannotWriteToPort>("CannotWriteToPort", 11);
    expectClass<CannotReadFromPort>("CannotReadFromPort", 12);
    expectClass<ErrorOnInitialization>("ErrorOnInitialization", 13);
    expectClass<ErrorInProtocol>("ErrorInProtocol", 15);
    expectClass<MismatchingProtocol>("MismatchingProtocol", 16);
    expectClass<FileAlreadyExitsOnDevice>("FileAlreadyExitsOnDevice", 18);
    expectClass<FileNotFoundOnDevice>("FileNotFoundOnDevice", 19);
    expectClass<IllegalTargetFileName>("IllegalTargetFileName", 20);
    expectClass<IllegalSourceFileName>("IllegalSourceFileName", 21);
    expectClass<InvalidArgument>("InvalidArgument", 22);
    expectClass<ErrorOnDevice>("ErrorOnDevice", 23);
    expectClass<NotEnoughMemory>("NotEnoughMemory", 25);
    expectClass<MethodCollision>("MethodCollision", 28);
    expectClass<WrongCommandConfirmed>("WrongCommandConfirmed", 29);
    expectClass<TransmissionCanceledByUser>("TransmissionCanceledByUser", 30);
    expectClass<WrongProtocolVersion>("WrongProtocolVersion", 31);
}

TEST(NBExceptionTest, ReraisedAsRootKeepsCodeTextAndNameButOnlyTheRootCatchesIt) {
    bool caughtAsPortFamily = false;
    try {
        try {
            throw PortExceptions::CannotWriteToPort("write failed");
        } catch (NBException caught) {
            throw caught;  // as the protocol layer does after cleaning up
        }
    } catch (const PortExceptions::PortException&) {
        caughtAsPortFamily = true;
    } catch (const NBException& root) {
        EXPECT_EQ(root.code, 11);
        EXPECT_STREQ(root.description, "write failed");
        EXPECT_STREQ(root.typeName, "CannotWriteToPort");
    }
    EXPECT_FALSE(caughtAsPortFamily) << "a value raised as the root class must not match its old family";
}

TEST(NBExceptionTest, FamiliesCatchTheirOwnClasses) {
    EXPECT_THROW(throw FileExceptions::CannotReadFileSize("x"), FileExceptions::FileException);
    EXPECT_THROW(throw PortExceptions::ErrorOnInitialization("x"), PortExceptions::PortException);
    EXPECT_THROW(throw ProtocolExceptions::ErrorOnDevice("x"), ProtocolExceptions::ProtocolException);
}

TEST(PortErrorsTest, LineErrorWordsAreNamedAsAWholeAndCombinationsAreUndefined) {
    const PortErrors errors("WinSerialPort", "\\\\.\\COM3");
    const std::string head = "WinSerialPort::readBuffer --  Error while reading from port \"\\\\.\\COM3\". COM error: ";
    const std::pair<std::uint32_t, const char*> table[] = {
        {1, "Receive Queue overflow"}, {2, "Receive Overrun Error"},   {4, "Receive Parity Error"},
        {8, "Receive Framing error"},  {16, "Break Detected"},         {256, "TX Queue is full"},
        {512, "LPTx Timeout"},         {1024, "LPTx I/O Error"},       {2048, "LPTx Device not selected"},
        {4096, "LPTx Out-Of-Paper"},   {32768, "Requested mode unsupported"},
        {4 | 8, "undefined error"},    {32, "undefined error"},
    };
    for (const auto& [word, text] : table) {
        const auto raised = errors.lineError(word);
        EXPECT_EQ(raised.code, 12);
        EXPECT_EQ(std::string(raised.description), head + text) << "for error word " << word;
    }
}
