#pragma once
// How the lists are sorted, shared by every folder and view of the process:
// CompareIDs applies the direction, the view flips it when a column header
// is clicked twice. Used on the UI thread only.
struct SortState {
    int direction = 1;    // +1 ascending, -1 descending
    int lastColumn = -1;  // -1 until the view sorts for the first time
};

SortState& sortState() noexcept;
