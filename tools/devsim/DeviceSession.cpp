#include "DeviceSession.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "WireBytes.h"

namespace devsim {

using namespace wire;

namespace {

// How long the idle device waits for a command before it looks at its
// monitor output and its silence again.
constexpr Milliseconds idlePoll{20};

// After this long without a byte, a port taken and never given back is
// forgotten (see run).
constexpr std::chrono::seconds staleTake{10};

std::string bytesText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string hexText(std::uint8_t byte) {
    const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 0x0F];
}

void appendBigEndian(Bytes& out, std::uint32_t value, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Serial text padded with terminators to a fixed width.
Bytes paddedText(const std::string& text, std::size_t width) {
    Bytes bytes(width, 0);
    std::copy_n(text.begin(), std::min(text.size(), width), bytes.begin());
    return bytes;
}

}  // namespace

DeviceSession::DeviceSession(SimulatedDevice& device, DeviceLine& line)
    : device_(device),
      pacedLine_(device.config().pacing ? std::optional<PacedLine>(std::in_place, line) : std::optional<PacedLine>()),
      line_(pacedLine_ ? static_cast<DeviceLine&>(*pacedLine_) : line) {}

void DeviceSession::run() {
    try {
        for (;;) {
            const auto byte = line_.read(idlePoll);
            // An unplugged device: whatever comes is lost. Asked after the
            // read, so a byte sent once the silence ended is answered.
            if (device_.isSilent()) continue;
            if (byte) {
                // A PC gives the port back right after its last exchange; a
                // take that old belongs to a PC that went away without it.
                const auto now = std::chrono::steady_clock::now();
                if (now - lastByteAt_ > staleTake) portTaken_ = false;
                lastByteAt_ = now;
            }
            try {
                if (byte)
                    dispatch(*byte);
                else if (monitorOutputDue())
                    sendMonitorOutput();
            } catch (const Silenced&) {
            }
        }
    } catch (const LineClosed&) {
    }
}

void DeviceSession::dispatch(std::uint8_t first) {
    int next = first;  // -1: no byte left over from an aborted transaction
    while (next >= 0) {
        const auto byte = static_cast<std::uint8_t>(next);
        next = -1;
        try {
            command(byte);
        } catch (const Abort& abort) {
            if (abort.pending) next = *abort.pending;
        }
    }
}

void DeviceSession::command(std::uint8_t byte) {
    switch (byte) {
        case IDENTIFY:
            // A fresh identification means a fresh PC session: forget its switches.
            portTaken_ = monitorOn_ = monitorFramed_ = false;
            send({IDENTIFY_ANSWER, device_.config().typeCode});
            break;
        case OTHER_KIND_QUERY:
            answerOtherKindQuery();
            break;
        case GET_PROTOCOL_VERSION:
            answerVersionQuery();
            break;
        case SERIAL_QUERY:
            answerSerialQuery();
            break;
        case MONITOR_MODE:
            switchMonitorMode();
            break;
        case MONITOR_END:
            monitorFramed_ = false;
            break;
        case MONITOR_START_FRAME:
            for (unsigned i = 0; i < MONITOR_START_FRAME_REST; ++i) nextStep();
            break;
        case FRAME_A_HANDSHAKE_REPLY:
            device_.countHandshakeReply();
            break;
        case GET_FILE_LIST:
            sendFileList();
            break;
        case GET_DISK_SPACE:
            sendDiskSpace();
            break;
        case GET_FILE:
            sendFile();
            break;
        case RECEIVE_DATA_BLOCK:
            receiveFile();
            break;
        case DELETE_FILE:
            deleteFile();
            break;
        case RENAME_FILE:
            renameFile();
            break;
        default:
            break;  // stray bytes are ignored, as the firmware does
    }
}

// ---- reading from the PC ----

std::uint8_t DeviceSession::nextStep() {
    const auto byte = line_.read(device_.config().stepTimeout);
    if (!byte) throw Abort{};  // the PC has gone quiet: give the transaction up without a word
    return *byte;
}

std::uint8_t DeviceSession::nextInPackage() {
    const auto byte = line_.read(device_.config().stepTimeout);
    if (!byte) {
        // A package that stops short.
        confirm(SYNC, [] { return refusal::PageFrameError; });
        throw Abort{};
    }
    return *byte;
}

Bytes DeviceSession::readPackageBody(std::size_t count) {
    Bytes body;
    body.reserve(std::min<std::size_t>(count, 1024));
    while (body.size() < count) body.push_back(nextInPackage());
    return body;
}

std::uint16_t DeviceSession::readLength() {
    const std::uint8_t low = nextInPackage();
    const std::uint8_t high = nextInPackage();
    return static_cast<std::uint16_t>(low | (high << 8));
}

void DeviceSession::awaitConfirmation(std::uint8_t confirmed) {
    const std::uint8_t first = nextStep();
    if (first == NAK) {
        nextStep();  // the PC's reason; it ends the transaction either way
        throw Abort{};
    }
    if (first != ACK) throw Abort{first};
    const std::uint8_t second = nextStep();
    if (second != confirmed) throw Abort{second};
}

// ---- writing to the PC ----

void DeviceSession::send(const Bytes& bytes) {
    const std::size_t allowed = device_.allowedBytes(bytes.size());
    if (allowed > 0) line_.write(bytes.data(), allowed);
    if (allowed < bytes.size()) throw Silenced{};
}

void DeviceSession::sendSync() {
    send({device_.syncByte()});
}

void DeviceSession::confirm(std::uint8_t confirmed, const Check& check) {
    std::optional<std::uint8_t> refusal = device_.nakForConfirmation(confirmed);
    if (!refusal && check) {
        if (const std::uint8_t code = check()) refusal = code;
    }
    if (refusal) {
        send({NAK, *refusal});
        device_.record(std::string("refused ") + (confirmed == SYNC ? "the request" : "byte " + hexText(confirmed)) +
                       " with error " + std::to_string(*refusal));
        throw Abort{};
    }
    if (confirmed == SYNC)
        send({ACK, device_.syncByte()});
    else
        send({ACK, confirmed});
}

std::string DeviceSession::readNamePackage(std::uint8_t command, std::uint8_t missingCommand,
                                           const std::function<std::uint8_t(const std::string&)>& check) {
    const std::uint16_t length = readLength();
    const Bytes body = readPackageBody(length);
    const std::uint8_t closing = nextInPackage();
    std::string name;
    confirm(SYNC, [&]() -> std::uint8_t {
        if (closing != SYNC) return refusal::PageFrameError;
        if (length == 0 || length - 1u > MAX_NAME) return refusal::InvalidPackageSize;
        if (body.back() != command) return missingCommand;
        name.assign(body.begin(), body.end() - 1);
        return check(name);
    });
    return name;
}

bool DeviceSession::sendDataPackage(const std::uint8_t* data, std::size_t count, bool download) {
    if (download && device_.cancelForDownloadPackage()) {
        send({CANCEL_UPLOAD});
        awaitConfirmation(CANCEL_UPLOAD);
        return false;
    }
    send({RECEIVE_DATA_BLOCK});
    awaitConfirmation(RECEIVE_DATA_BLOCK);
    const auto shortened = device_.shortenDataPackage();
    const std::size_t delivered = shortened ? std::min<std::size_t>(*shortened, count) : count;
    Bytes package{static_cast<std::uint8_t>(count & 0xFF), static_cast<std::uint8_t>(count >> 8)};
    package.insert(package.end(), data, data + delivered);
    send(package);
    if (!shortened) sendSync();
    awaitConfirmation(SYNC);
    return true;
}

// ---- identification ----

void DeviceSession::answerOtherKindQuery() {
    if (device_.config().typeCode != OTHER_KIND_TYPE) return;
    const std::uint8_t second = nextStep();
    if (second != OTHER_KIND_QUERY) throw Abort{second};
    send(paddedText(device_.config().serial, OTHER_KIND_SERIAL_SIZE));
}

void DeviceSession::answerVersionQuery() {
    const std::uint16_t version = device_.config().protocolVersion;
    if (version == 0) return;  // old firmware does not know the question
    send({ACK, GET_PROTOCOL_VERSION, static_cast<std::uint8_t>(version >> 8), static_cast<std::uint8_t>(version)});
    sendSync();
    awaitConfirmation(SYNC);
}

void DeviceSession::answerSerialQuery() {
    send({SERIAL_QUERY_OK});
    for (const char expected : std::string(SERIAL_REQUEST)) {
        const std::uint8_t byte = nextStep();
        if (byte != static_cast<std::uint8_t>(expected)) throw Abort{byte};
    }
    Bytes answer(SERIAL_ANSWER, SERIAL_ANSWER + std::strlen(SERIAL_ANSWER));
    Bytes block = paddedText(device_.config().serial.substr(0, SERIAL_TEXT_SIZE), SERIAL_BLOCK_SIZE);
    answer.insert(answer.end(), block.begin(), block.end());
    send(answer);
}

// ---- port switches and monitor mode ----

void DeviceSession::switchMonitorMode() {
    const std::uint8_t argument = nextStep();
    if (argument == MONITOR_ON) {
        portTaken_ = false;
        monitorOn_ = true;
        monitorReadyAt_ = std::chrono::steady_clock::now() + device_.config().monitorDelay;
        confirm(MONITOR_ON);
    } else if (argument == MONITOR_OFF) {
        if (monitorOn_) {
            // Monitor output stops: either a transaction borrows the port
            // (and switches monitor mode on again afterwards) or monitoring ends.
            monitorOn_ = false;
            confirm(MONITOR_OFF);
        } else if (portTaken_) {
            portTaken_ = false;
            confirm(PORT_GIVEN_BACK);
        } else {
            portTaken_ = true;
            confirm(MONITOR_OFF);
        }
    } else {
        throw Abort{argument};
    }
}

bool DeviceSession::monitorOutputDue() const {
    return monitorOn_ && std::chrono::steady_clock::now() >= monitorReadyAt_;
}

void DeviceSession::sendMonitorOutput() {
    const bool kindA = device_.config().monitorKind == MonitorFrameKind::A;
    if (!monitorFramed_) {
        send(kindA ? Bytes{FRAME_A_ESCAPE, FRAME_A_HANDSHAKE} : Bytes{FRAME_B_START, 0x00, FRAME_B_LINE_END});
        monitorFramed_ = true;
    }
    while (const auto line = device_.takeMonitorLine()) {
        Bytes bytes;
        if (!kindA) bytes = {FRAME_B_START, static_cast<std::uint8_t>(FRAME_B_LINE_BASE + line->number)};
        bytes.insert(bytes.end(), line->text.begin(), line->text.end());
        if (kindA)
            bytes.insert(bytes.end(), {FRAME_A_ESCAPE, FRAME_A_LINE_END, line->number, 0x00});
        else
            bytes.push_back(FRAME_B_LINE_END);
        send(bytes);
        device_.record("sent monitor line " + std::to_string(line->number) + " \"" + line->text + "\"");
    }
}

// ---- transactions ----

void DeviceSession::sendFileList() {
    confirm(GET_FILE_LIST);
    const auto files = device_.files();
    Bytes list;
    for (const StoredFile& file : files) {
        const std::size_t nameLength = std::min<std::size_t>(file.name.size(), 255);
        list.push_back(BEGIN_OF_FILE);
        list.push_back(static_cast<std::uint8_t>(nameLength));
        list.insert(list.end(), file.name.begin(), file.name.begin() + nameLength);
        list.push_back(0x00);  // attribute byte, not read by the PC
        appendBigEndian(list, static_cast<std::uint16_t>(file.time.year % 100), 2);
        for (const int part : {file.time.month, file.time.day, file.time.hour, file.time.minute, file.time.second})
            list.push_back(static_cast<std::uint8_t>(part));
        appendBigEndian(list, file.size, 4);
    }
    const std::size_t packageSize = std::clamp<std::size_t>(device_.config().packageSize, 1, MAX_DEVICE_PAYLOAD);
    for (std::size_t offset = 0; offset < list.size(); offset += packageSize)
        sendDataPackage(list.data() + offset, std::min(packageSize, list.size() - offset), false);
    if (device_.endlessList()) {
        device_.record("sending empty list packages until the PC refuses one");
        for (;;) sendDataPackage(nullptr, 0, false);
    }
    device_.record("sent file list (" + std::to_string(files.size()) + (files.size() == 1 ? " file)" : " files)"));
    send({END_OF_FILE});
}

void DeviceSession::sendDiskSpace() {
    confirm(GET_DISK_SPACE);
    const std::uint32_t free = device_.freeSpace();
    Bytes answer;
    appendBigEndian(answer, device_.diskSize(), 4);
    appendBigEndian(answer, free, 4);
    send(answer);
    device_.record("sent disk space (" + bytesText(free) + " free)");
    sendSync();
    awaitConfirmation(SYNC);
}

void DeviceSession::sendFile() {
    confirm(GET_FILE);
    std::optional<Bytes> data;
    const std::string name = readNamePackage(GET_FILE, refusal::MissingGetFile, [&](const std::string& wanted) {
        data = device_.fileData(wanted);
        return data ? 0 : refusal::FileNotFound;
    });
    data->resize(data->size() + device_.extraDownloadBytes(), 'X');
    const std::size_t packageSize = std::clamp<std::size_t>(device_.config().packageSize, 1, MAX_DEVICE_PAYLOAD);
    try {
        for (std::size_t offset = 0; offset < data->size(); offset += packageSize) {
            if (!sendDataPackage(data->data() + offset, std::min(packageSize, data->size() - offset), true)) {
                device_.record("cancelled sending " + name);
                return;
            }
        }
    } catch (const Abort&) {
        device_.record("broke off sending " + name);
        throw;
    }
    device_.record("sent " + name + " (" + bytesText(data->size()) + ")");
    send({END_OF_FILE});
}

void DeviceSession::receiveFile() {
    confirm(RECEIVE_DATA_BLOCK);
    const std::uint16_t length = readLength();
    const Bytes header = readPackageBody(length);
    const std::uint8_t closing = nextInPackage();
    std::string name;
    std::uint8_t flag = 0;
    std::uint32_t room = 0;
    confirm(SYNC, [&]() -> std::uint8_t {
        if (closing != SYNC) return refusal::PageFrameError;
        if (length < 4) return refusal::InvalidPackageSize;
        if (header.front() != BEGIN_OF_FILE) return refusal::MissingBeginOfFile;
        if (header[length - 3] != ATTRIBUTE_FLAG) return refusal::MissingAttributeFlag;
        if (header.back() != START_OF_DATA) return refusal::MissingStartOfData;
        name.assign(header.begin() + 1, header.end() - 3);
        flag = header[length - 2];
        if (name.size() > MAX_NAME) return refusal::InvalidPackageSize;
        if (flag & FLAG_BRAILLE_TABLE) {
            const unsigned slot = flag & 0x0F;
            room = BRAILLE_TABLE_SIZE;
            return slot >= 1 && slot <= 9 ? 0 : refusal::MissingAttributeFlag;
        }
        if (flag != FLAG_KEEP_EXISTING && flag != FLAG_REPLACE) return refusal::MissingAttributeFlag;
        if (name.empty()) return refusal::CannotWriteToFile;
        return device_.checkUpload(name, flag, room);
    });
    const bool table = flag & FLAG_BRAILLE_TABLE;
    Bytes data;
    for (;;) {
        const std::uint8_t byte = nextStep();
        if (byte == RECEIVE_DATA_BLOCK) {
            confirm(RECEIVE_DATA_BLOCK);
            const std::uint16_t count = readLength();
            const Bytes payload = readPackageBody(count);
            const std::uint8_t end = nextInPackage();
            confirm(SYNC, [&]() -> std::uint8_t {
                if (end != SYNC) return refusal::PageFrameError;
                if (count > MAX_PC_PAYLOAD) return refusal::BufferOverflow;
                if (data.size() + count > room) return table ? refusal::BufferOverflow : refusal::CannotWriteToFile;
                data.insert(data.end(), payload.begin(), payload.end());
                return 0;
            });
        } else if (byte == END_OF_FILE) {
            if (table) {
                const unsigned slot = flag & 0x0F;
                confirm(END_OF_FILE, [&]() -> std::uint8_t {
                    if (data.size() != BRAILLE_TABLE_SIZE) return refusal::InvalidPackageSize;
                    const std::uint8_t refused =
                        device_.storeBrailleTable(slot, {name, bool(flag & FLAG_BACKWARD_SEARCH), data});
                    if (refused == 0)
                        device_.record("loaded braille table " + name + " into slot " + std::to_string(slot) +
                                       (flag & FLAG_BACKWARD_SEARCH ? " (backward search)" : ""));
                    return refused;
                });
            } else {
                confirm(END_OF_FILE, [&] {
                    const std::uint8_t refused = device_.storeUpload(name, data);
                    if (refused == 0) device_.record("received " + name + " (" + bytesText(data.size()) + ")");
                    return refused;
                });
            }
            return;
        } else if (byte == CANCEL_UPLOAD) {
            // The partial file is dropped: nothing was stored yet.
            device_.record("upload of " + name + " cancelled by the PC");
            confirm(CANCEL_UPLOAD);
            return;
        } else {
            throw Abort{byte};
        }
    }
}

void DeviceSession::deleteFile() {
    confirm(DELETE_FILE);
    readNamePackage(DELETE_FILE, refusal::MissingDeleteFile, [&](const std::string& doomed) {
        const std::uint8_t refused = device_.deleteFile(doomed);
        if (refused == 0) device_.record("deleted " + doomed);
        return refused;
    });
}

void DeviceSession::renameFile() {
    confirm(RENAME_FILE);
    const std::string from = readNamePackage(RENAME_FILE, refusal::MissingRenameFile, [&](const std::string& old) {
        return device_.hasFile(old) ? 0 : refusal::FileNotFound;
    });
    const std::uint8_t again = nextStep();
    if (again != RENAME_FILE) throw Abort{again};
    confirm(RENAME_FILE);
    readNamePackage(RENAME_FILE, refusal::MissingRenameFile, [&](const std::string& fresh) {
        const std::uint8_t refused = device_.renameFile(from, fresh);
        if (refused == 0) device_.record("renamed " + from + " to " + fresh);
        return refused;
    });
}

}  // namespace devsim
