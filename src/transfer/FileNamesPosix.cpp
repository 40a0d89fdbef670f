#include <iconv.h>

#include <cerrno>
#include <mutex>

#include "transfer/FileNames.h"

namespace {

std::mutex codePageLock;
std::string codePage = "WINDOWS-1252";

std::string currentCodePage() {
    std::lock_guard lock(codePageLock);
    return codePage;
}

// One conversion; its descriptor is closed with it.
class Converter {
public:
    Converter(const std::string& to, const std::string& from) : cd_(::iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (valid()) ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    // iconv_open's "no descriptor" is (iconv_t)-1.
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }  // NOLINT(performance-no-int-to-ptr)

    // Converts all of `text`; a byte that cannot be converted is passed to
    // `onInvalid`, which says whether to go on after it.
    template <typename OnInvalid>
    bool convert(const std::string& text, std::string& out, OnInvalid&& onInvalid) {
        std::string input = text;
        char* in = input.data();
        std::size_t inLeft = input.size();
        char buffer[256];
        while (inLeft > 0) {
            char* next = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t done = ::iconv(cd_, &in, &inLeft, &next, &outLeft);
            out.append(buffer, static_cast<std::size_t>(next - buffer));
            if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
            if (!onInvalid(out)) return false;
            ++in;
            --inLeft;
        }
        return true;
    }

private:
    iconv_t cd_;
};

}  // namespace

bool setDeviceCodePage(const std::string& name) {
    if (!Converter("UTF-8", name).valid() || !Converter(name, "UTF-8").valid()) return false;
    std::lock_guard lock(codePageLock);
    codePage = name;
    return true;
}

std::string deviceNameForDisplay(const std::string& deviceName) {
    Converter converter("UTF-8", currentCodePage());
    if (!converter.valid()) return deviceName;
    std::string text;
    // A byte the code page leaves undefined shows as the replacement character.
    converter.convert(deviceName, text, [](std::string& out) {
        out += "\xEF\xBF\xBD";
        return true;
    });
    return text;
}

std::optional<std::string> deviceNameFromLocal(const std::string& localName) {
    Converter converter(currentCodePage(), "UTF-8");
    std::string name;
    if (!converter.valid() || !converter.convert(localName, name, [](std::string&) { return false; }))
        return std::nullopt;
    return name;
}
