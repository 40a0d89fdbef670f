// Device names become local file names only as one safe name of their own.
#include "transfer/FileNames.h"

#include <gtest/gtest.h>

TEST(FileNamesTest, UnsafeDeviceNamesBecomeOneSafeLocalName) {
    const std::pair<std::string, std::string> cases[] = {
        {"LETTER.TXT", "LETTER.TXT"},
        {"../x.txt", ".._x.txt"},
        {"C:\\WINDOWS\\win.ini", "C__WINDOWS_win.ini"},
        {"a<b>c|d?e*f\"g", "a_b_c_d_e_f_g"},
        {"bell\a\x1B[2J", "bell__[2J"},
        {".", "_"},
        {"..", "__"},
        {"", "_"},
        {"NOTES. .", "NOTES___"},
        {"CON", "_CON"},
        {"nul.txt", "_nul.txt"},
        {"com7.brf", "_com7.brf"},
        {"COM0.TXT", "COM0.TXT"},
        {"CONSOLE.TXT", "CONSOLE.TXT"},
        {"\xE4rger.txt", "\xE4rger.txt"},
    };
    for (const auto& [device, local] : cases) EXPECT_EQ(safeLocalFileName(device), local) << device;
    EXPECT_TRUE(sameDeviceName("Notes.txt", "NOTES.TXT"));
    EXPECT_FALSE(sameDeviceName("NOTES.TXT", "NOTES.TX"));
    EXPECT_FALSE(sameDeviceName("\xE4.TXT", "\xC4.TXT")) << "only ASCII letters fold";
}
