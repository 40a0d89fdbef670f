#include "DialogTemplate.h"

namespace {

class Reader {
public:
    explicit Reader(const BYTE* data) : data_(data) {}

    WORD word() { return take<WORD>(); }
    DWORD dword() { return take<DWORD>(); }
    short number() { return static_cast<short>(take<WORD>()); }
    BYTE byte() { return data_[offset_++]; }

    // A name or an ordinal; predefined control classes come as ordinals.
    std::wstring nameOrOrdinal()
    {
        const WORD first = word();
        if (first == 0) {
            return {};
        }
        if (first == 0xFFFF) {
            switch (const WORD ordinal = word()) {
            case 0x80: return L"Button";
            case 0x81: return L"Edit";
            case 0x82: return L"Static";
            default: return L"#" + std::to_wstring(ordinal);
            }
        }
        offset_ -= sizeof(WORD);
        return text();
    }
    std::wstring text()
    {
        std::wstring result;
        for (WORD c = word(); c != 0; c = word()) {
            result += static_cast<wchar_t>(c);
        }
        return result;
    }
    void skip(size_t bytes) { offset_ += bytes; }
    void alignToDword() { offset_ = (offset_ + 3) & ~size_t(3); }

private:
    template <typename T>
    T take()
    {
        T value;
        memcpy(&value, data_ + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }

    const BYTE* data_;
    size_t offset_ = 0;
};

}  // namespace

DialogTemplate readDialogTemplate(HMODULE module, int id)
{
    DialogTemplate dialog;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    const auto* data = resource ? static_cast<const BYTE*>(LockResource(LoadResource(module, resource))) : nullptr;
    if (!data) {
        return dialog;
    }
    Reader in(data);
    if (in.word() != 1 || in.word() != 0xFFFF) {
        return dialog;  // not a DIALOGEX
    }
    in.dword();  // help id
    in.dword();  // extended style
    dialog.style = in.dword();
    const WORD count = in.word();
    in.number();
    in.number();
    dialog.width = in.number();
    dialog.height = in.number();
    in.nameOrOrdinal();  // menu
    in.nameOrOrdinal();  // class
    dialog.caption = in.text();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.word();
        in.word();  // weight
        in.byte();  // italic
        in.byte();  // character set
        dialog.typeface = in.text();
    }
    for (WORD i = 0; i < count; ++i) {
        in.alignToDword();
        DialogItem item;
        in.dword();  // help id
        in.dword();  // extended style
        item.style = in.dword();
        item.rect.left = in.number();
        item.rect.top = in.number();
        item.rect.right = in.number();
        item.rect.bottom = in.number();
        const DWORD itemId = in.dword();
        item.id = (itemId == 0xFFFF || itemId == 0xFFFFFFFF) ? -1 : static_cast<int>(itemId);
        item.windowClass = in.nameOrOrdinal();
        item.text = in.nameOrOrdinal();
        in.skip(in.word());  // creation data
        dialog.items.push_back(item);
    }
    dialog.found = true;
    return dialog;
}
