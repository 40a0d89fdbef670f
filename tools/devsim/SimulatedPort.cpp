#include "SimulatedPort.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "link/NBException.h"

namespace devsim {

// The two queues between the PC side and the device thread.
class MemoryLine : public DeviceLine {
public:
    using Clock = std::chrono::steady_clock;

    // Device side.
    std::optional<std::uint8_t> read(Milliseconds timeout) override {
        std::unique_lock lock(mutex_);
        deviceWaiting_ = true;
        changed_.notify_all();
        const bool arrived = changed_.wait_for(lock, timeout, [&] { return closed_ || !toDevice_.empty(); });
        deviceWaiting_ = false;
        if (closed_) throw LineClosed();
        if (!arrived) return std::nullopt;
        const std::uint8_t byte = toDevice_.front();
        toDevice_.pop_front();
        arrivedAt_ = sentAt_.front();
        sentAt_.pop_front();
        return byte;
    }

    Clock::time_point arrivedAt() const override { return arrivedAt_; }

    void write(const std::uint8_t* bytes, std::size_t count) override {
        std::lock_guard lock(mutex_);
        if (closed_) throw LineClosed();
        toPc_.insert(toPc_.end(), bytes, bytes + count);
        changed_.notify_all();
    }

    // PC side.
    void send(const std::uint8_t* bytes, std::size_t count) {
        std::lock_guard lock(mutex_);
        toDevice_.insert(toDevice_.end(), bytes, bytes + count);
        sentAt_.insert(sentAt_.end(), count, Clock::now());
        changed_.notify_all();
    }

    std::size_t receive(std::uint8_t* bytes, std::size_t count, Milliseconds timeout) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return toPc_.size() >= count; });
        const std::size_t taken = std::min(count, toPc_.size());
        std::copy_n(toPc_.begin(), taken, bytes);
        toPc_.erase(toPc_.begin(), toPc_.begin() + static_cast<std::ptrdiff_t>(taken));
        return taken;
    }

    void purge(Milliseconds limit) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, limit, [&] { return closed_ || deviceGone_ || (deviceWaiting_ && toDevice_.empty()); });
        toPc_.clear();
    }

    void close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

    void deviceEnded() {
        std::lock_guard lock(mutex_);
        deviceGone_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::uint8_t> toDevice_;
    std::deque<Clock::time_point> sentAt_;  // beside toDevice_
    Clock::time_point arrivedAt_;           // device thread only
    std::deque<std::uint8_t> toPc_;
    bool deviceWaiting_ = false;
    bool deviceGone_ = false;
    bool closed_ = false;
};

SimulatedPort::SimulatedPort(std::shared_ptr<SimulatedDevice> device, Milliseconds readTimeout, std::string name)
    : device_(std::move(device)),
      readTimeout_(readTimeout),
      name_(std::move(name)),
      line_(std::make_unique<MemoryLine>()) {
    deviceThread_ = std::thread([device = device_, line = line_.get()] {
        try {
            device->serve(*line);
        } catch (const std::exception& error) {
            device->record(std::string("stopped: ") + error.what());
        }
        line->deviceEnded();
    });
}

SimulatedPort::~SimulatedPort() {
    line_->close();
    deviceThread_.join();
}

void SimulatedPort::purgeBuffers() {
    // A device that keeps writing (pacing) is given a generous bound.
    line_->purge(std::max(readTimeout_, Milliseconds(1000)));
}

void SimulatedPort::writeBuffer(const std::uint8_t* bytes, std::uint32_t count) {
    line_->send(bytes, count);
}

void SimulatedPort::writeByte(std::uint8_t byte) {
    line_->send(&byte, 1);
}

std::uint32_t SimulatedPort::readBuffer(std::uint8_t* bytes, std::uint32_t count) {
    const std::uint32_t got = count == 0 ? 0 : receive(bytes, count);
    if (got == 0)
        throw PortExceptions::CannotReadFromPort("SimulatedPort::readBuffer --  Error while reading from port \"" +
                                                 name_ + "\".");
    return got;
}

std::uint8_t SimulatedPort::readByte() {
    std::uint8_t byte = 0;
    if (receive(&byte, 1) == 0)
        throw PortExceptions::CannotReadFromPort("SimulatedPort::readByte -- Error while reading from port \"" + name_ +
                                                 "\". No Byte arrived.");
    return byte;
}

std::uint32_t SimulatedPort::receive(std::uint8_t* bytes, std::uint32_t count) {
    return static_cast<std::uint32_t>(line_->receive(bytes, count, readTimeout_));
}

}  // namespace devsim
