// Identification on a freshly opened port.
#include "ProtocolTestSupport.h"
#include "protocol/Identification.h"

namespace {
const Bytes infoAnswer = bytesOf("INFOI") + bytesOf("MN2-000417ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");

// The version query, answered with `version` and confirmed.
void scriptVersion(DeviceScript& script, std::uint8_t version) {
    script.pc({0x0C}).device({0x06, 0x0C, 0x00, version, 0x16}).pc({0x06, 0x16});
}
void scriptSerial(DeviceScript& script) {
    script.pc({0xAE}).device({0x4F}).pc(bytesOf("INFO N")).device(infoAnswer).pc({0xFF});
}
}  // namespace

TEST(Identification, YieldsTheDeviceRecordOrNothing) {
    PauseLog pauses;
    const struct {
        const char* behaviour;
        std::function<void(DeviceScript&)> exchange;
        bool askForName, allowOtherTypes;
        std::string expected;  // "type version serial", empty for no device
        Log log;               // the whole log, when it matters
    } cases[] = {
        {"file-capable model",
         [](auto& s) {
             s.pc({0xFF}).device({0xFE, 0x72}).pc({0x0C}).device({0x06, 0x0C, 0x01, 0x02, 0x16}).pc({0x06, 0x16});
             scriptSerial(s);
         },
         true,
         false,
         "114 258 MN2-000417AB",
         {"open", "purge", "FF", "0C", "06", "16", "AE", "[49 4E 46 4F 20 4E]", "FF", "purge"}},
        {"silent port", [](auto&) {}, true, false, "", {}},
        {"wrong answer",
         [](auto& s) {
             s.pc({0xFF}).device({0x06, 0x72});
         },
         true,
         false,
         "",
         {}},
        {"unknown type",
         [](auto& s) {
             s.pc({0xFF}).device({0xFE, 0x50});
         },
         true,
         true,
         "",
         {}},
        {"no version answer",
         [](auto& s) {
             s.pc({0xFF}).device({0xFE, 0x05}).pc({0x0C});
             scriptSerial(s);
         },
         true,
         false,
         "5 0 MN2-000417AB",
         {}},
        {"version answer without SYNC, purged and not confirmed",
         [](auto& s) {
             s.pc({0xFF}).device({0xFE, 0x74}).pc({0x0C}).device({0x06, 0x0C, 0x00, 0x01, 0x15});
             scriptSerial(s);
         },
         true,
         false,
         "116 0 MN2-000417AB",
         {"open", "purge", "FF", "0C", "purge", "AE", "[49 4E 46 4F 20 4E]", "FF", "purge"}},
        {"serial query answered otherwise",
         [](auto& s) {
             scriptVersion(s.pc({0xFF}).device({0xFE, 0x78}), 1);
             s.pc({0xAE}).device({0x15}).pc({0xFF});
         },
         true,
         false,
         "120 1 xxx",
         {"open", "purge", "FF", "0C", "06", "16", "AE", "FF", "purge"}},
        {"serial query without answer",
         [](auto& s) {
             scriptVersion(s.pc({0xFF}).device({0xFE, 0x78}), 1);
         },
         true,
         false,
         "",
         {}},
        {"other type not asked for",
         [](auto& s) {
             s.pc({0xFF}).device({0xFE, 0x35});
         },
         true,
         false,
         "",
         {}},
        {"other type asked for, never with the serial query",
         [](auto& s) {
             scriptVersion(s.pc({0xFF}).device({0xFE, 0x35}), 3);
         },
         true,
         true,
         "53 3 xxx",
         {}},
        {"without the name query",
         [](auto& s) {
             scriptVersion(s.pc({0xFF}).device({0xFE, 0x05}), 1);
         },
         false,
         false,
         "5 1 xxx",
         {}},
        {"another kind, asked up to five times for its eight bytes",
         [](auto& s) {
             s.pc({0xFF}).device({0xFE, 0x90}).pc({0x05, 0x05}).device(bytesOf("ABC"));
             s.pc({0x05, 0x05, 0x05, 0x05}).device(bytesOf("12345678"));
         },
         true,
         false,
         "144 0 12345678",
         {"open", "purge", "FF", "purge", "[05 05]", "purge", "[05 05]", "purge", "[05 05]"}},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.behaviour);
        DeviceScript script;
        testCase.exchange(script);
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
