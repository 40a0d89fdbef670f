#include "transfer/FileDataObject.h"

#include "link/LocalFile.h"
#include "link/Pause.h"
#include "resources/resource.h"
#include "shell/ModuleState.h"
#include "shell/Prompt.h"
#include "transfer/DeviceFileOperations.h"
#include "transfer/FileNames.h"
#include "transfer/FormatEnumerator.h"
#include "transfer/PcTransfers.h"
#include "transfer/TempFileStream.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr UINT dataObjectBlockFlags = GMEM_MOVEABLE | GMEM_DISCARDABLE | GMEM_SHARE;
constexpr UINT descriptorBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DISCARDABLE | GMEM_SHARE;
// A consumer that is not a folder of ours gets its descriptors after this
// wait (it has not asked for the system-file answer first).
constexpr std::uint32_t foreignConsumerWait = 4000;
// What a drag offers: either effect.
constexpr DWORD dragEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE;

// The device keeps its local time; the descriptor's times are UTC.
FILETIME fileTimeOf(const ItemRecord& record) {
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(record.year);
    local.wMonth = record.month;
    local.wDayOfWeek = 0xFFFF;
    local.wDay = record.day;
    local.wHour = record.hour;
    local.wMinute = record.minute;
    local.wSecond = record.second;
    FILETIME asLocal{};
    FILETIME utc{};
    if (!SystemTimeToFileTime(&local, &asLocal) || !LocalFileTimeToFileTime(&asLocal, &utc)) return FILETIME{};
    return utc;
}

FILEDESCRIPTORA descriptorOf(const ItemRecord& record) {
    FILEDESCRIPTORA descriptor{};
    descriptor.dwFlags = FD_ATTRIBUTES | FD_WRITESTIME | FD_FILESIZE;
    descriptor.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    descriptor.ftCreationTime = descriptor.ftLastAccessTime = descriptor.ftLastWriteTime = fileTimeOf(record);
    descriptor.nFileSizeLow = record.size;
    // The name is the device's: it becomes a file name on the PC only as one
    // safe name of its own.
    const std::string name = safeLocalFileName(fieldText(record.name));
    std::memcpy(descriptor.cFileName, name.data(), std::min(name.size(), sizeof descriptor.cFileName - 1));
    return descriptor;
}

void handOut(STGMEDIUM& medium, HGLOBAL block) {
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    medium.pUnkForRelease = nullptr;
}

HRESULT valueMedium(DWORD value, STGMEDIUM& medium) {
    HGLOBAL block = makeValueBlock(value, dataObjectBlockFlags);
    if (!block) return E_OUTOFMEMORY;
    handOut(medium, block);
    return S_OK;
}

bool sameEntry(const FORMATETC& left, const FORMATETC& right) {
    return left.cfFormat == right.cfFormat && left.dwAspect == right.dwAspect && left.lindex == right.lindex;
}

}  // namespace

FileDataObject::FileDataObject(const DeviceInfo& device, std::vector<ItemRecord> items, ViewWindows windows,
                               FolderLocation location)
    : device_(device),
      items_(std::move(items)),
      windows_(windows),
      location_(std::move(location)),
      user_(windows.owner) {
    // A device-to-device job calls the object from its own thread; with the
    // free-threaded marshaler its calls reach the object itself (Wine's
    // proxies drop SetData).
    CoCreateFreeThreadedMarshaler(static_cast<IDataObject*>(this), &marshaler_);
    for (const ItemRecord& item : items_) {
        descriptors_.push_back(descriptorOf(item));
        totalBytes_ += item.size;
        hasSystemFile_ = hasSystemFile_ || item.kind == ItemKind::SystemFile;
    }
}

FileDataObject::~FileDataObject() {
    endDownloads();
}

HRESULT FileDataObject::QueryInterface(REFIID riid, void** object) noexcept {
    if (IsEqualIID(riid, IID_IMarshal) && marshaler_) return marshaler_->QueryInterface(riid, object);
    return ComObject::QueryInterface(riid, object);
}

const QITAB* FileDataObject::interfaces() noexcept {
    static const QITAB table[] = {
        interfaceEntry<FileDataObject, IDataObject>(),
        interfaceEntry<FileDataObject, IAsyncOperation>(IID_IDataObjectAsyncCapability),
        {},
    };
    return table;
}

bool FileDataObject::isMove() const {
    return (preferredEffect_ == dragEffects && performedEffect_ == DROPEFFECT_MOVE) ||
           (preferredEffect_ == DROPEFFECT_MOVE && performedEffect_ == DROPEFFECT_NONE);
}

bool FileDataObject::confirmSystemFileMove(HWND owner) {
    const UINT text = items_.size() > 1 ? IDS_CONFIRM_MOVE_SYSFILES : IDS_CONFIRM_MOVE_SYSFILE;
    constexpr UINT style = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2 | MB_SETFOREGROUND;
    return prompt::show(owner, text, IDS_CAPTION_ATTENTION, style, {std::string(fieldText(items_.front().name))}) ==
           IDYES;
}

void FileDataObject::endDownloads() {
    std::shared_ptr<TransferProgress> progress;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        progress.swap(progress_);
    }
    if (progress) progress->destroy();
}

HRESULT FileDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) noexcept {
    if (!format || !medium) return E_INVALIDARG;
    *medium = STGMEDIUM{};
    return comBoundary([&]() -> HRESULT {
        if (descriptors_.empty()) return E_UNEXPECTED;
        const ClipboardFormats& formats = moduleState().clipboardFormats();
        const CLIPFORMAT asked = format->cfFormat;
        if (asked == formats.deviceFiles || asked == formats.devicePort) {
            return valueMedium(device_.portNumber, *medium);
        }
        if (asked == formats.deviceFileNames) {
            std::string names;
            for (const ItemRecord& item : items_) names.append(fieldText(item.name)).push_back('\0');
            UniqueGlobal block(GlobalAlloc(dataObjectBlockFlags, names.size()));
            const GlobalLockGuard<char> data(block.get());
            if (!data) return E_OUTOFMEMORY;
            std::memcpy(data.get(), names.data(), names.size());
            handOut(*medium, block.release());
            return S_OK;
        }
        if (asked == formats.moveSystemFile) {
            bool ask = false;
            {
                const std::lock_guard<std::mutex> guard(lock_);
                moveSystemFileAsked_ = true;
                ask = hasSystemFile_ && isMove();
            }
            DWORD answer = 0;
            if (ask) {
                const bool agreed = confirmSystemFileMove(windows_.owner);
                answer = agreed ? 1 : 2;
                const std::lock_guard<std::mutex> guard(lock_);
                if (agreed) hasSystemFile_ = false;
            }
            return valueMedium(answer, *medium);
        }
        if (asked == formats.fileGroupDescriptor) {
            if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
            const auto count = static_cast<DWORD>(descriptors_.size());
            UniqueGlobal block(GlobalAlloc(descriptorBlockFlags, sizeof(DWORD) + count * sizeof(FILEDESCRIPTORA)));
            {
                const GlobalLockGuard<BYTE> data(block.get());
                if (!data) return E_OUTOFMEMORY;
                std::memcpy(data.get(), &count, sizeof count);
                std::memcpy(data.get() + sizeof count, descriptors_.data(), count * sizeof(FILEDESCRIPTORA));
            }
            bool foreign = false;
            {
                const std::lock_guard<std::mutex> guard(lock_);
                foreign = !moveSystemFileAsked_;
            }
            if (foreign) pauseFor(foreignConsumerWait);
            handOut(*medium, block.release());
            return S_OK;
        }
        if (asked == formats.fileContents) return fileContents(*format, *medium);
        const std::lock_guard<std::mutex> guard(lock_);
        if (asked == formats.performedDropEffect) return valueMedium(performedEffect_, *medium);
        if (asked == formats.preferredDropEffect) return valueMedium(preferredEffect_, *medium);
        if (asked == formats.logicalPerformedDropEffect) return valueMedium(logicalPerformedEffect_, *medium);
        return storedData(*format, *medium);
    });
}

HRESULT FileDataObject::fileContents(const FORMATETC& format, STGMEDIUM& medium) {
    if (!(format.tymed & TYMED_ISTREAM)) return DV_E_TYMED;
    if (format.lindex < 0 || static_cast<std::size_t>(format.lindex) >= descriptors_.size()) return DV_E_LINDEX;
    const ItemRecord& item = items_[static_cast<std::size_t>(format.lindex)];

    std::shared_ptr<TransferProgress> progress;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        progress = progress_;
    }
    if (!progress) {
        progress = TransferProgress::create(user_, TransferMode::PcAndDevice, static_cast<std::uint32_t>(items_.size()),
                                            totalBytes_);
        const std::lock_guard<std::mutex> guard(lock_);
        progress_ = progress;
    }
    const std::string deviceName(fieldText(item.name));
    progress->setCurrentName(deviceNameForDisplay(deviceName));

    bool ask = false;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        ask = hasSystemFile_ && isMove();
    }
    if (ask) {
        if (!confirmSystemFileMove(progressWindowOf(*progress))) {
            endDownloads();
            return E_FAIL;
        }
        const std::lock_guard<std::mutex> guard(lock_);
        hasSystemFile_ = false;
    }

    // One download at a time: the device takes one transaction at a time.
    static std::mutex downloads;
    const std::lock_guard<std::mutex> oneAtATime(downloads);
    const std::string temporary = makeTemporaryFile();
    if (temporary.empty()) return E_FAIL;
    if (!downloadOneFile(device_, deviceName, temporary, item.size, *progress, user_)) {
        // An abort or a failure ends this paste and its dialog, which would
        // otherwise stay up for as long as the clipboard holds this object;
        // the next paste starts with a progress of its own.
        endDownloads();
        return E_ABORT;
    }
    ComPtr<IStream> stream = TempFileStream::open(temporary);
    if (!stream) {
        removeLocalFile(temporary);
        return E_FAIL;
    }
    medium.tymed = TYMED_ISTREAM;
    medium.pstm = stream.Detach();
    medium.pUnkForRelease = nullptr;
    progress->fileFinished(item.size);
    return S_OK;
}

HRESULT FileDataObject::storedData(const FORMATETC& format, STGMEDIUM& medium) {
    if (format.ptd) return DV_E_DVTARGETDEVICE;
    const auto entry = std::find_if(stored_.begin(), stored_.end(),
                                    [&](const StoredFormat& stored) { return sameEntry(stored.format, format); });
    if (entry == stored_.end()) return DV_E_FORMATETC;
    const STGMEDIUM& held = entry->medium.get();
    if (!(held.tymed & format.tymed)) return DV_E_TYMED;
    medium = held;
    if (held.tymed == TYMED_HGLOBAL) {
        // The block stays ours; the consumer's reference keeps us alive.
        medium.pUnkForRelease = static_cast<IDataObject*>(this);
        AddRef();
    } else if (held.tymed == TYMED_ISTREAM || held.tymed == TYMED_ISTORAGE) {
        medium.pUnkForRelease = nullptr;
        medium.pstm->AddRef();
    } else {
        medium = STGMEDIUM{};
        return DV_E_TYMED;
    }
    return S_OK;
}

bool FileDataObject::holdsBlock(HGLOBAL block) const {
    return std::any_of(stored_.begin(), stored_.end(), [&](const StoredFormat& stored) {
        return stored.medium.get().tymed == TYMED_HGLOBAL && stored.medium.get().hGlobal == block;
    });
}

HRESULT FileDataObject::storeData(const FORMATETC& format, STGMEDIUM& medium, bool release) {
    if (format.ptd) return DV_E_DVTARGETDEVICE;
    // A block handed out by us and given back stays with its one owner: the
    // new entry keeps a copy, and the medium's reference on us is let go.
    const bool ourBlock = medium.tymed == TYMED_HGLOBAL && holdsBlock(medium.hGlobal);
    if (ourBlock && release) {
        if (medium.pUnkForRelease) medium.pUnkForRelease->Release();
        medium.pUnkForRelease = nullptr;
        release = false;
    }
    STGMEDIUM kept = medium;
    if (!release) {
        // Only global memory can be copied.
        if (medium.tymed != TYMED_HGLOBAL) return DV_E_TYMED;
        const GlobalLockGuard<BYTE> source(medium.hGlobal);
        if (!source) return E_OUTOFMEMORY;
        UniqueGlobal copy(GlobalAlloc(GMEM_MOVEABLE, source.size()));
        const GlobalLockGuard<BYTE> target(copy.get());
        if (!target) return E_OUTOFMEMORY;
        std::memcpy(target.get(), source.get(), source.size());
        kept = STGMEDIUM{};
        kept.tymed = TYMED_HGLOBAL;
        kept.hGlobal = copy.release();
    }
    // A medium released through ourselves would hold us alive for ever.
    IUnknown* self = static_cast<IDataObject*>(this);
    if (kept.pUnkForRelease == self || kept.pUnkForRelease == static_cast<IAsyncOperation*>(this)) {
        kept.pUnkForRelease->Release();
        kept.pUnkForRelease = nullptr;
    }
    const auto entry = std::find_if(stored_.begin(), stored_.end(),
                                    [&](const StoredFormat& stored) { return sameEntry(stored.format, format); });
    if (entry != stored_.end()) {
        entry->format = format;
        entry->medium.reset(kept);
    } else {
        stored_.push_back({format, UniqueStgMedium(kept)});
    }
    return S_OK;
}

HRESULT FileDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) noexcept {
    if (!format || !medium) return E_INVALIDARG;
    return comBoundary([&]() -> HRESULT {
        const ClipboardFormats& formats = moduleState().clipboardFormats();
        DWORD* value = nullptr;
        const CLIPFORMAT given = format->cfFormat;
        if (given == formats.pasteSucceeded) value = &pasteSucceeded_;
        if (given == formats.performedDropEffect) value = &performedEffect_;
        if (given == formats.preferredDropEffect) value = &preferredEffect_;
        if (given == formats.logicalPerformedDropEffect) value = &logicalPerformedEffect_;
        if (!value) {
            const std::lock_guard<std::mutex> guard(lock_);
            return storeData(*format, *medium, release != FALSE);
        }
        if (medium->tymed != TYMED_HGLOBAL) return DV_E_TYMED;
        const auto read = readValueBlock(medium->hGlobal);
        if (!read) return E_OUTOFMEMORY;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            *value = *read;
        }
        if (release) ReleaseStgMedium(medium);
        // The consumer has done what it will do: the downloads' dialog goes.
        if (given == formats.performedDropEffect) endDownloads();
        return S_OK;
    });
}

HRESULT FileDataObject::QueryGetData(FORMATETC* format) noexcept {
    if (!format) return E_INVALIDARG;
    if (format->cfFormat == CF_HDROP) return S_OK;
    if (format->cfFormat == moduleState().clipboardFormats().fileGroupDescriptor) {
        return (format->dwAspect & DVASPECT_CONTENT) ? S_OK : DV_E_DVASPECT;
    }
    return DV_E_FORMATETC;
}

HRESULT FileDataObject::EnumFormatEtc(DWORD, IEnumFORMATETC** enumerator) noexcept {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    return comBoundary([&] { return makeComObject<FormatEnumerator>()->QueryInterface(IID_PPV_ARGS(enumerator)); });
}

HRESULT FileDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) noexcept {
    return E_NOTIMPL;
}

HRESULT FileDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) noexcept {
    return E_NOTIMPL;
}

HRESULT FileDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) noexcept {
    return E_NOTIMPL;
}

HRESULT FileDataObject::DUnadvise(DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT FileDataObject::EnumDAdvise(IEnumSTATDATA**) noexcept {
    return E_NOTIMPL;
}

HRESULT FileDataObject::SetAsyncMode(BOOL) noexcept {
    return E_NOTIMPL;
}

HRESULT FileDataObject::GetAsyncMode(BOOL* async) noexcept {
    if (!async) return E_POINTER;
    *async = TRUE;
    return S_OK;
}

HRESULT FileDataObject::StartOperation(IBindCtx*) noexcept {
    return S_OK;
}

HRESULT FileDataObject::InOperation(BOOL*) noexcept {
    return E_NOTIMPL;
}

HRESULT FileDataObject::EndOperation(HRESULT result, IBindCtx*, DWORD effects) noexcept {
    if (FAILED(result)) return S_OK;
    return comBoundary([&]() -> HRESULT {
        {
            const std::lock_guard<std::mutex> guard(lock_);
            const bool moved = (pasteSucceeded_ & DROPEFFECT_MOVE) && (preferredEffect_ & DROPEFFECT_MOVE) &&
                               (performedEffect_ & DROPEFFECT_MOVE) && effects == DROPEFFECT_MOVE;
            if (!moved) return S_OK;
        }
        std::vector<std::string> names;
        for (const ItemRecord& item : items_) names.emplace_back(fieldText(item.name));
        deleteMovedSources(device_, names, windows_.owner);
        location_.contentsChanged();
        // Only our own data leaves the clipboard (whatever the user copied
        // since stays), and only the thread that put it there takes it off.
        uiThread_.run([self = ComPtr<IDataObject>(this)] {
            if (OleIsCurrentClipboard(self.Get()) == S_OK) OleSetClipboard(nullptr);
        });
        if (windows_.refresh) PostMessageW(windows_.refresh, WM_COMMAND, IDM_REFRESH, 0);
        return S_OK;
    });
}
