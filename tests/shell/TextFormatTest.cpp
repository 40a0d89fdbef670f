#include "shell/TextFormat.h"

#include <gtest/gtest.h>

namespace {

TEST(FillText, FillsFieldsInOrderWithWidthsAndPercentSignsAndLeavesWhatItCannotFill) {
    EXPECT_EQ(fillText(L"%2d%% of \"%s\" transmitted", {5, "a.txt"}), L" 5% of \"a.txt\" transmitted");
    EXPECT_EQ(fillText(L"%2d%% transmitted", {100}), L"100% transmitted");
    EXPECT_EQ(fillText(L"%i:%02i:%02i", {0, 10, 25}), L"0:10:25");
    EXPECT_EQ(fillText(L"%s (%s) connectet to COM %d", {"Corvia 40", L"CV4-0001", 12}),
              L"Corvia 40 (CV4-0001) connectet to COM 12");
    EXPECT_EQ(fillText(L"[%-4d][%04d][%5s]", {7, -7, "ab"}), L"[7   ][-007][   ab]");
    EXPECT_EQ(fillText(L"%u B", {4294967295u}), L"4294967295 B");
    EXPECT_EQ(fillText(L"Renamed \"%s\" to \"%s\".", {"OLD.TXT"}), L"Renamed \"OLD.TXT\" to \"\".") << "missing value";
    EXPECT_EQ(fillText(L"100%x and %", {1}), L"100%x and %") << "unknown fields stay as written";
    EXPECT_EQ(fillText(L"%d file(s)", {"three"}), L"three file(s)") << "a mixed-up field shows its value";
}

}  // namespace
