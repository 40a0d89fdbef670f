#include "DeviceOptions.h"

#include <cctype>
#include <stdexcept>

namespace devsim {

const char* const deviceOptionsHelp = R"(Device keys (--device 'key=value,key=value,...'; values contain no commas):
  link=PATH        where the symlink to the pseudo-terminal goes (required), e.g. build/ports/COM3
  model=M          SLV, MN2, CV4, CV8 (Solvane, Minnow, Corvia 40/80), or a type code such as 0x90 (default CV8)
  serial=TEXT      serial text (default <model code>-0001)
  version=N        protocol version; 0 = no answer to the version query (default 2)
  free=N           free space in bytes; uploads consume it, deletes free it (default 4000000)
  files=DIR        keep the files in this directory (default: in memory)
  seed=NAME:SIZE   a file of SIZE pattern bytes (repeatable)
  text=NAME:TEXT   a file with this text (repeatable)
  package=N        payload bytes per data package the device sends, 1 to 80 (default 80)
  pace             send at the real line rate (19200 baud, 11 bits a byte)
  timeout=MS       how long the device waits for the PC inside a transaction (default 2000)
  monitor=A|B      frame kind of the monitor output (default A)
  line=N:TEXT      a monitor line with line number N, sent once monitor mode is on (repeatable)
Faults (each counted from the start, fires once):
  nak=K:CODE[:BYTE]  NAK CODE in place of the K-th confirmation (of BYTE only, if given)
  cancel=K           send CANCEL_UPLOAD in place of download package K
  silence=N          stop answering for good after writing N bytes
  short=K:M          data package K announces its length but brings only M bytes
  badsync=K[:BYTE]   write BYTE (default 0x17) in place of the K-th SYNC
Hostile behaviours (for as long as the device runs):
  endless            every file list goes on with packages without data
  overrun=N          every download sends N bytes more than the file has
In serial, text, seed and line values %HH stands for any byte given by two hex
digits (controls in names and serial numbers, a comma, %25 for a percent sign).
Example: --device 'link=/tmp/ports/COM3,model=CV4,serial=CV4-0042,version=1,files=/tmp/cv4,nak=3:24')";

namespace {

struct Model {
    const char* code;
    const char* name;
    std::uint8_t typeCode;
};
constexpr Model models[] = {
    {"SLV", "Solvane", 0x05}, {"MN2", "Minnow", 0x72}, {"CV4", "Corvia 40", 0x74}, {"CV8", "Corvia 80", 0x78}};

unsigned long number(const std::string& key, const std::string& value, unsigned long maximum) {
    std::size_t used = 0;
    unsigned long result = 0;
    try {
        result = std::stoul(value, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != value.size() || result > maximum)
        throw std::invalid_argument(key + "=" + value + ": expected a number up to " + std::to_string(maximum));
    return result;
}

// "A:B:C" split at colons, at most `parts` pieces (the last keeps its colons).
std::vector<std::string> fields(const std::string& value, std::size_t parts) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (pieces.size() + 1 < parts) {
        const std::size_t colon = value.find(':', start);
        if (colon == std::string::npos) break;
        pieces.push_back(value.substr(start, colon - start));
        start = colon + 1;
    }
    pieces.push_back(value.substr(start));
    return pieces;
}

std::uint8_t byteValue(const std::string& key, const std::string& value) {
    return static_cast<std::uint8_t>(number(key, value, 0xFF));
}

// "%HH" as the byte it names; everything else as written.
std::string unescaped(const std::string& value) {
    std::string bytes;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && std::isxdigit(static_cast<unsigned char>(value[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(value[i + 2]))) {
            bytes += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += value[i];
        }
    }
    return bytes;
}

}  // namespace

DeviceOptions parseDeviceOptions(const std::string& text) {
    DeviceOptions setup;
    std::optional<std::string> serial;
    std::string modelCode = "CV8";
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(start, comma - start);
        start = comma + 1;
        if (item.empty()) continue;
        const std::size_t equals = item.find('=');
        const std::string key = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
        const auto pair = fields(value, 3);

        if (key == "link") {
            setup.link = value;
        } else if (key == "model") {
            modelCode.clear();
            for (const Model& model : models)
                if (value == model.code || value == model.name) {
                    setup.config.typeCode = model.typeCode;
                    modelCode = model.code;
                }
            if (modelCode.empty()) {
                try {
                    setup.config.typeCode = byteValue(key, value);
                } catch (const std::invalid_argument&) {
                    std::string known;
                    for (const Model& model : models)
                        known += std::string(known.empty() ? "" : ", ") + model.code + " (" + model.name + ")";
                    throw std::invalid_argument("model=" + value + ": the models are " + known +
                                                "; or give a type code up to 255");
                }
            }
        } else if (key == "serial") {
            serial = unescaped(value);
        } else if (key == "version") {
            setup.config.protocolVersion = static_cast<std::uint16_t>(number(key, value, 0xFFFF));
        } else if (key == "free") {
            setup.config.freeSpace = static_cast<std::uint32_t>(number(key, value, 0xFFFFFFFFul));
        } else if (key == "files") {
            setup.filesDirectory = value;
        } else if (key == "seed" && pair.size() >= 2) {
            Bytes data(number(key, fields(value, 2)[1], 100'000'000));
            for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
            setup.seeds.emplace_back(unescaped(pair[0]), std::move(data));
        } else if (key == "text" && pair.size() >= 2) {
            const std::string content = unescaped(fields(value, 2)[1]);
            setup.seeds.emplace_back(unescaped(pair[0]), Bytes(content.begin(), content.end()));
        } else if (key == "package") {
            setup.config.packageSize = number(key, value, 80);
            if (setup.config.packageSize == 0) throw std::invalid_argument("package=0: expected 1 to 80");
        } else if (key == "pace") {
            setup.config.pacing = value.empty() || value != "0";
        } else if (key == "timeout") {
            setup.config.stepTimeout = Milliseconds(number(key, value, 600'000));
        } else if (key == "monitor" && (value == "A" || value == "B")) {
            setup.config.monitorKind = value == "A" ? MonitorFrameKind::A : MonitorFrameKind::B;
        } else if (key == "line" && pair.size() >= 2) {
            setup.config.monitorLines.push_back({unescaped(fields(value, 2)[1]), byteValue(key, pair[0])});
        } else if (key == "nak" && pair.size() >= 2) {
            Faults::Nak nak{static_cast<unsigned>(number(key, pair[0], 1'000'000)), byteValue(key, pair[1]), {}};
            if (pair.size() == 3) nak.confirming = byteValue(key, pair[2]);
            setup.faults.nak = nak;
        } else if (key == "cancel") {
            setup.faults.cancelDownloadAt = static_cast<unsigned>(number(key, value, 1'000'000));
        } else if (key == "silence") {
            setup.faults.silenceAfterBytes = number(key, value, 0xFFFFFFFFul);
        } else if (key == "short" && pair.size() == 2) {
            setup.faults.shortPackage = Faults::ShortPackage{static_cast<unsigned>(number(key, pair[0], 1'000'000)),
                                                             static_cast<std::uint16_t>(number(key, pair[1], 80))};
        } else if (key == "badsync") {
            Faults::WrongSync wrong{static_cast<unsigned>(number(key, pair[0], 1'000'000)), 0x17};
            if (pair.size() >= 2) wrong.byte = byteValue(key, pair[1]);
            setup.faults.wrongSync = wrong;
        } else if (key == "endless" && value.empty()) {
            setup.faults.endlessList = true;
        } else if (key == "overrun") {
            setup.faults.extraBytes = static_cast<std::uint32_t>(number(key, value, 1'000'000));
        } else {
            throw std::invalid_argument("unknown or incomplete device key: " + item);
        }
    }
    if (setup.link.empty()) throw std::invalid_argument("a device needs link=PATH");
    setup.config.serial = serial ? *serial : (modelCode.empty() ? std::string("DEV") : modelCode) + "-0001";
    return setup;
}

}  // namespace devsim
