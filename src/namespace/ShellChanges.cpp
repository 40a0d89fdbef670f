#include "namespace/ShellChanges.h"

#include "namespace/ItemIdAllocator.h"
#include "shell/ShellResources.h"

namespace {

std::mutex recorderLock;
shellchange::Recorder* activeRecorder = nullptr;

std::vector<BYTE> bytesOf(PCIDLIST_ABSOLUTE list) {
    if (!list) return {};
    const auto* begin = reinterpret_cast<const BYTE*>(list);
    return {begin, begin + ILGetSize(list)};
}

}  // namespace

FolderLocation::FolderLocation(PCIDLIST_ABSOLUTE folder)
    : folder_(folder ? std::make_shared<const std::vector<BYTE>>(bytesOf(folder)) : nullptr) {}

void FolderLocation::itemChanged(LONG event, const ItemRecord& item, const ItemRecord* renamed) const noexcept {
    if (!folder_) return;
    const auto* folder = reinterpret_cast<PCIDLIST_ABSOLUTE>(folder_->data());
    const ItemIdAllocator allocator;
    const UniqueIdList child(allocator.createItemId(item));
    const UniqueIdList newChild(renamed ? allocator.createItemId(*renamed) : nullptr);
    const UniqueIdList first(child ? ILCombine(folder, child.get()) : nullptr);
    const UniqueIdList second(newChild ? ILCombine(folder, newChild.get()) : nullptr);
    // Without memory for the item, the whole folder is told instead.
    if (!first || (renamed && !second)) return contentsChanged();
    shellchange::notify(event, first.get(), second.get());
}

void FolderLocation::contentsChanged() const noexcept {
    if (folder_) shellchange::notify(SHCNE_UPDATEDIR, reinterpret_cast<PCIDLIST_ABSOLUTE>(folder_->data()));
}

namespace shellchange {

void notify(LONG event, PCIDLIST_ABSOLUTE first, PCIDLIST_ABSOLUTE second) noexcept {
    {
        const std::lock_guard<std::mutex> guard(recorderLock);
        if (activeRecorder) {
            try {
                activeRecorder->record({event, bytesOf(first), bytesOf(second)});
            } catch (...) {
                // A test short of memory loses the notice, as the shell may.
            }
            return;
        }
    }
    // Posted, not flushed: a worker thread must not wait for the shell's windows.
    SHChangeNotify(event, SHCNF_IDLIST, first, second);
}

Recorder::Recorder() {
    const std::lock_guard<std::mutex> guard(recorderLock);
    previous_ = activeRecorder;
    activeRecorder = this;
}

Recorder::~Recorder() {
    const std::lock_guard<std::mutex> guard(recorderLock);
    activeRecorder = previous_;
}

std::vector<Notice> Recorder::notices() const {
    const std::lock_guard<std::mutex> guard(mutex_);
    return notices_;
}

void Recorder::record(Notice notice) {
    const std::lock_guard<std::mutex> guard(mutex_);
    notices_.push_back(std::move(notice));
}

}  // namespace shellchange
