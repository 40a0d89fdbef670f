#pragma once
// Where a folder stands in the shell, as a copy any thread may keep, and the
// one way our changes reach the shell (SHChangeNotify with our absolute
// identifiers), so the navigation pane and other windows on the folder
// follow. A Recorder installed by a test takes the place of the shell.
#include "namespace/ItemRecord.h"

#include <shlobj.h>

#include <memory>
#include <mutex>
#include <vector>

class FolderLocation {
public:
    // Nowhere: a folder the shell never placed tells nothing.
    FolderLocation() = default;
    explicit FolderLocation(PCIDLIST_ABSOLUTE folder);

    // `event` (SHCNE_CREATE, SHCNE_DELETE, SHCNE_RENAMEITEM...) for `item` of
    // this folder, and `renamed` as its new identity for a rename.
    void itemChanged(LONG event, const ItemRecord& item, const ItemRecord* renamed = nullptr) const noexcept;
    // SHCNE_UPDATEDIR: what the folder holds changed.
    void contentsChanged() const noexcept;

private:
    std::shared_ptr<const std::vector<BYTE>> folder_;
};

namespace shellchange {

// One notice as the shell would have received it: the event and the
// absolute identifiers, byte for byte (empty when none).
struct Notice {
    LONG event = 0;
    std::vector<BYTE> first, second;
};

void notify(LONG event, PCIDLIST_ABSOLUTE first, PCIDLIST_ABSOLUTE second = nullptr) noexcept;

// While alive, notices are recorded instead of sent (from any thread).
class Recorder {
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    std::vector<Notice> notices() const;
    void record(Notice notice);

private:
    mutable std::mutex mutex_;
    std::vector<Notice> notices_;
    Recorder* previous_;
};

}  // namespace shellchange
