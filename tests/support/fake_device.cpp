#include "support/fake_device.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

FakeDevice::FakeDevice(int answer) : answer_(answer) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("pty");
    slavePath_ = ptsname(master_);
    // Keep the slave raw from the start so that nothing is echoed or translated before velkor
    // configures the line itself.
    // The slave stays open here too, so the master never sees a hang-up between users.
    slaveKeep_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    if (slaveKeep_ >= 0) {
        termios settings{};
        if (tcgetattr(slaveKeep_, &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(slaveKeep_, TCSANOW, &settings);
        }
    }
    thread_ = std::thread([this] { serve(); });
}

FakeDevice::~FakeDevice() {
    stop_ = true;
    thread_.join();
    if (slaveKeep_ >= 0) close(slaveKeep_);
    close(master_);
}

void FakeDevice::serve() {
    while (!stop_) {
        pollfd entry{master_, POLLIN, 0};
        if (poll(&entry, 1, 20) <= 0) continue;
        if (entry.revents & (POLLHUP | POLLERR) && !(entry.revents & POLLIN)) {
            usleep(5000);  // no one has the slave open at the moment
            continue;
        }
        unsigned char buffer[4096];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            usleep(5000);
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        for (ssize_t i = 0; i < n; ++i) {
            received_.push_back(buffer[i]);
            // Only a 00 where a message starts is a reset request; 0D/0E carry two more bytes.
            if (received_.size() - 1 != expectAt_) continue;
            if (buffer[i] == 0x00) {
                expectAt_ = received_.size();
                if (answer_ >= 0) {
                    const unsigned char reply = static_cast<unsigned char>(answer_);
                    if (::write(master_, &reply, 1) != 1) {
                    }
                }
            } else {
                expectAt_ = received_.size() + 2;
            }
        }
    }
}

std::vector<unsigned char> FakeDevice::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool FakeDevice::waitForBytes(size_t count, int timeoutMs) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (received().size() >= count) return true;
        usleep(2000);
    }
    return received().size() >= count;
}
