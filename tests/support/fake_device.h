#pragma once
// A YM2608 device stand-in on a real pseudo-terminal: velkor opens the slave side as its COM port,
// this object holds the master side, records every byte it receives and answers reset requests.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeDevice {
public:
    // answer < 0: stay silent on reset requests.
    explicit FakeDevice(int answer = 0x5A);
    ~FakeDevice();
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    const std::string& path() const { return slavePath_; }
    std::vector<unsigned char> received() const;
    // Waits until at least count bytes arrived; false on time-out.
    bool waitForBytes(size_t count, int timeoutMs) const;

private:
    void serve();
    int master_ = -1;
    int slaveKeep_ = -1;
    int answer_;
    std::string slavePath_;
    mutable std::mutex mutex_;
    std::vector<unsigned char> received_;
    size_t expectAt_ = 0;  // index where the next message starts
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
