// Item records: the byte layout the shell may store, and how file and
// device records are made.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ListEntries.h"
#include "namespace/ItemRecord.h"

namespace {

const unsigned char* bytesOf(const ItemRecord& record) {
    return reinterpret_cast<const unsigned char*>(&record);
}

}  // namespace

TEST(ItemRecord, FileRecordFromListEntryFillsEveryFieldAndLeavesTheRestZero) {
    const ItemRecord record = makeFileRecord(listEntry("NOTES.TXT", 5));

    EXPECT_EQ(record.kind, ItemKind::File);
    EXPECT_EQ(fieldText(record.name), "NOTES.TXT");
    EXPECT_EQ(record.size, 256u);
    EXPECT_EQ(record.year, 2005u);
    EXPECT_EQ(record.month, 6);
    EXPECT_EQ(record.day, 7);
    EXPECT_EQ(record.hour, 8);
    EXPECT_EQ(record.minute, 9);
    EXPECT_EQ(record.second, 10);
    const unsigned char* bytes = bytesOf(record);
    for (std::size_t i = 4 + 10; i < 72; ++i) EXPECT_EQ(bytes[i], 0) << "name byte " << i << " behind the NUL";
    for (std::size_t i = 85; i < 140; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i << " of a file record";
}

TEST(ItemRecord, SystemFileRecordNamedANsfHasKind2AndTheNameAtOffset4) {
    const ItemRecord record = makeFileRecord(listEntry("A.NSF", 0));

    const unsigned char* bytes = bytesOf(record);
    const unsigned char expected[] = {2, 0, 0, 0, 'A', '.', 'N', 'S', 'F', 0};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof expected), 0);
}

TEST(ItemRecord, TwoDigitYearsWidenAround90) {
    EXPECT_EQ(widenYear(90), 2090u);
    EXPECT_EQ(widenYear(91), 1991u);
    EXPECT_EQ(widenYear(99), 1999u);
    EXPECT_EQ(widenYear(0), 2000u);
    EXPECT_EQ(makeFileRecord(listEntry("X", 91)).year, 1991u);
}

TEST(ItemRecord, SystemFileNamesEndExactlyInUpperCaseNsf) {
    EXPECT_TRUE(isSystemFileName("A.NSF"));
    EXPECT_TRUE(isSystemFileName(".NSF"));
    EXPECT_FALSE(isSystemFileName("A.nsf"));
    EXPECT_FALSE(isSystemFileName("NSF"));
    EXPECT_FALSE(isSystemFileName("A.NSF.TXT"));
    EXPECT_FALSE(isSystemFileName(""));
    EXPECT_EQ(makeFileRecord(listEntry("b.nsf", 1)).kind, ItemKind::File);
}

TEST(ItemRecord, DeviceRecordCarriesNamePortSerialAndModelAtTheirOffsets) {
    DeviceInfo device;
    device.typeCode = 0x78;
    device.portNumber = 3;
    std::strcpy(device.serial, "CV8-0042");

    const ItemRecord record = makeDeviceRecord("Corvia 80 (2)", device);

    const unsigned char* bytes = bytesOf(record);
    std::uint32_t kind, port, model;
    std::memcpy(&kind, bytes + 0, 4);
    std::memcpy(&port, bytes + 88, 4);
    std::memcpy(&model, bytes + 136, 4);
    EXPECT_EQ(kind, 0u);
    EXPECT_EQ(port, 3u);
    EXPECT_EQ(model, 120u);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 4), "Corvia 80 (2)");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 92), "CV8-0042");
    for (std::size_t i = 72; i < 88; ++i) EXPECT_EQ(bytes[i], 0) << "size/date byte " << i << " of a device record";
}

TEST(ItemRecord, TextsLongerThanTheirFieldAreCutAndStayTerminated) {
    const std::string longName(100, 'n');
    const std::string longSerial(60, 's');

    ItemRecord record = makeDeviceRecord(longName, 1, longSerial, 0x05);

    EXPECT_EQ(fieldText(record.name), std::string(67, 'n'));
    EXPECT_EQ(record.name[67], '\0');
    EXPECT_EQ(fieldText(record.serial), std::string(43, 's'));
    EXPECT_EQ(record.port, 1u) << "the serial must not run into the port";
    EXPECT_EQ(record.model, 5u) << "the serial must not run into the model";

    setRecordName(record, "Short");
    EXPECT_EQ(fieldText(record.name), "Short");
    for (std::size_t i = 5; i < ItemRecord::nameSize; ++i) EXPECT_EQ(record.name[i], '\0') << "name byte " << i;
}
