// Identification on a freshly opened port.
#include "ProtocolTestSupport.h"
#include "protocol/Identification.h"

TEST(Identification, YieldsTheDeviceRecordOrNothing) {
    PauseLog pauses;
    const std::string version = "> 0C < 06 0C 00 01 16 > 06 16 ",
                      serial = "> AE < 4F > 'INFO N' < 'INFOIMN2-000417ABCDEFGHIJKLMNOPQRSTUVWXYZ0123' > FF";
    const struct {
        const char* behaviour;
        std::string exchange;
        bool askForName, allowOtherTypes;
        std::string expected;  // "type version serial", empty for no device
        std::string log;       // the whole log, when it matters
    } cases[] = {
        {"file-capable model", "> FF < FE 72 > 0C < 06 0C 01 02 16 > 06 16 " + serial, true, false,
         "114 258 MN2-000417AB", "open purge FF 0C 06 16 AE [49 4E 46 4F 20 4E] FF purge"},
        {"silent port", "", true, false, "", ""},
        {"wrong answer", "> FF < 06 72", true, false, "", ""},
        {"unknown type", "> FF < FE 50", true, true, "", ""},
        {"no version answer", "> FF < FE 05 > 0C " + serial, true, false, "5 0 MN2-000417AB", ""},
        {"version answer without SYNC, purged and not confirmed", "> FF < FE 74 > 0C < 06 0C 00 01 15 " + serial, true,
         false, "116 0 MN2-000417AB", "open purge FF 0C purge AE [49 4E 46 4F 20 4E] FF purge"},
        {"serial query answered otherwise", "> FF < FE 78 " + version + "> AE < 15 > FF", true, false, "120 1 xxx",
         "open purge FF 0C 06 16 AE FF purge"},
        {"serial query without answer", "> FF < FE 78 " + version, true, false, "", ""},
        {"other type not asked for", "> FF < FE 35", true, false, "", ""},
        {"other type asked for, never with the serial query", "> FF < FE 35 > 0C < 06 0C 00 03 16 > 06 16", true, true,
         "53 3 xxx", ""},
        {"without the name query", "> FF < FE 05 " + version, false, false, "5 1 xxx", ""},
        {"another kind, asked up to five times for its eight bytes",
         "> FF < FE 90 > 05 05 < 'ABC' > 05 05 05 05 < '12345678'", true, false, "144 0 12345678",
         "open purge FF purge [05 05] purge [05 05] purge [05 05]"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.behaviour);
        DeviceScript script;
        script.play(testCase.exchange);
        const auto port = script.openPort();
        const auto record = identifyDevice(*port, 7, testCase.askForName, testCase.allowOtherTypes);
        std::ostringstream found;
        if (record) {
            found << record->typeCode << " " << record->protocolVersion << " " << record->serial;
            EXPECT_EQ((std::vector{record->portNumber, record->index, record->portHeld}), (std::vector{7u, 0u, 0u}));
            script.expectComplete();
        }
        EXPECT_EQ(found.str(), testCase.expected);
        if (!testCase.log.empty()) {
            EXPECT_EQ(script.log(), testCase.log);
        }
    }
}
