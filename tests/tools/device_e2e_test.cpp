// The real velkor-device program on a pseudo-terminal, driven by a client that opens its path the
// way velkor opens a COM port.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>

#include "support/child_process.h"
#include "support/guest_image.h"
#include "tools/vgm_test_reader.h"

namespace {

constexpr const char* kListening = "velkor-device: listening on ./opna\n";

// One side of the line, opened and configured as velkor does it.
class Client {
public:
    explicit Client(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
        termios settings{};
        if (fd_ >= 0 && tcgetattr(fd_, &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(fd_, TCSANOW, &settings);
        }
    }
    ~Client() { close(); }
    bool isOpen() const { return fd_ >= 0; }
    void send(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // The next byte from the device, or -1 when none comes in time.
    int receive(int timeoutMs = 3000) {
        pollfd entry{fd_, POLLIN, 0};
        uint8_t byte = 0;
        if (poll(&entry, 1, timeoutMs) != 1 || read(fd_, &byte, 1) != 1) return -1;
        return byte;
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

class DeviceProgram : public ::testing::Test {
protected:
    // Starts the device in the temporary folder and waits until it listens.
    void start(const std::vector<std::string>& args) {
        device = std::make_unique<ChildProcess>(VELKOR_DEVICE_BINARY, args, EnvList{}, dir);
        ASSERT_TRUE(device->readUntil(kListening, 5000)) << device->output();
    }
    void TearDown() override {
        device.reset();
        std::filesystem::remove_all(dir);
    }
    std::unique_ptr<Client> connect() { return std::make_unique<Client>(dir + "/opna"); }

    bool linkExists() const {
        struct stat info {};
        return lstat((dir + "/opna").c_str(), &info) == 0;
    }
    // The summary line after the listening line, with the elapsed time left open.
    static std::string summaryPattern(int a0, int a1, int resets, int errors) {
        return "velkor-device: listening on \\./opna\nvelkor-device: A0 writes " + std::to_string(a0) + ", A1 writes " +
               std::to_string(a1) + ", resets " + std::to_string(resets) + ", protocol errors " +
               std::to_string(errors) + ", [0-9]+\\.[0-9]{3} s\n";
    }
    VgmContents capture() {
        const auto vgm = readVgm(readFile(dir + "/c.vgm"));
        EXPECT_TRUE(vgm.has_value());
        return vgm.value_or(VgmContents{});
    }

    std::string dir = makeTempDir();
    std::unique_ptr<ChildProcess> device;
};

TEST_F(DeviceProgram, ServesAClientAndEndsWhenItCloses) {
    start({"./opna", "--vgm", "c.vgm", "--log", "d.log"});
    auto client = connect();
    ASSERT_TRUE(client->isOpen());
    client->send({0x00});
    EXPECT_EQ(client->receive(), 0x5A);
    // A message split across two reads of the device.
    client->send({0x0D, 0x28});
    usleep(30000);
    client->send({0xF0, 0x0E, 0x29, 0x80, 0x7F});
    usleep(30000);
    client->send({0x0D, 0x28, 0x00});
    client->close();  // at once: the device must still read what is pending

    EXPECT_EQ(device->finish(5000), 0);
    EXPECT_TRUE(std::regex_match(device->output(), std::regex(summaryPattern(2, 1, 1, 1)))) << device->output();
    EXPECT_FALSE(linkExists());

    const VgmContents vgm = capture();
    ASSERT_EQ(vgm.writes.size(), 3u);
    EXPECT_EQ(vgm.writes[0], (VgmWrite{0, 0, 0x28, 0xF0}));
    EXPECT_EQ(vgm.writes[1], (VgmWrite{0, 1, 0x29, 0x80}));  // arrived in the same read
    EXPECT_EQ(vgm.writes[2], (VgmWrite{vgm.writes[2].sample, 0, 0x28, 0x00}));
    EXPECT_GT(vgm.writes[2].sample, 44100u * 20 / 1000);  // timed from the arrivals
    const std::string file = readFile(dir + "/c.vgm");
    EXPECT_EQ(vgmWord(file, 0x04), file.size() - 4);
    EXPECT_EQ(vgmWord(file, 0x18), vgm.samples);

    const std::regex logLines(
        "[0-9]+\\.[0-9]{6} reset -> 5a\n"
        "[0-9]+\\.[0-9]{6} A0 28 f0\n"
        "[0-9]+\\.[0-9]{6} A1 29 80\n"
        "[0-9]+\\.[0-9]{6} error: unexpected byte 7f\n"
        "[0-9]+\\.[0-9]{6} A0 28 00\n");
    const std::string log = readFile(dir + "/d.log");
    EXPECT_TRUE(std::regex_match(log, logLines)) << log;
}

TEST_F(DeviceProgram, AnswersResetsWithTheChosenByte) {
    start({"--answer", "C3"});  // the path defaults to ./opna
    auto client = connect();
    client->send({0x00, 0x0D, 0x00, 0x00, 0x00});
    EXPECT_EQ(client->receive(), 0xC3);
    EXPECT_EQ(client->receive(), 0xC3);
    EXPECT_EQ(client->receive(200), -1);
    client->close();
    EXPECT_EQ(device->finish(5000), 0);
    EXPECT_TRUE(std::regex_match(device->output(), std::regex(summaryPattern(1, 0, 2, 0)))) << device->output();
}

TEST_F(DeviceProgram, SigtermWithTheClientStillOpenKeepsTheCapture) {
    start({"./opna", "--vgm", "c.vgm"});
    auto client = connect();
    client->send({0x0E, 0x10, 0x1C, 0x0D, 0x10, 0x1C});
    usleep(50000);
    device->signal(SIGTERM);
    EXPECT_EQ(device->finish(5000), 0);
    EXPECT_TRUE(std::regex_match(device->output(), std::regex(summaryPattern(1, 1, 0, 0)))) << device->output();
    EXPECT_FALSE(linkExists());
    const VgmContents vgm = capture();
    EXPECT_EQ(vgm.writes, (std::vector<VgmWrite>{{0, 1, 0x10, 0x1C}, {0, 0, 0x10, 0x1C}}));
    EXPECT_GT(vgm.samples, 0u);  // the time until the signal, as a tail
}

// Nobody has used the line yet: the device waits rather than taking that for a hang-up.
TEST_F(DeviceProgram, WaitsForAClientUntilInterrupted) {
    start({"./opna", "--vgm", "c.vgm"});
    connect()->close();  // opened and closed without a byte
    EXPECT_FALSE(device->readUntil("A0 writes", 300));
    device->signal(SIGINT);
    EXPECT_EQ(device->finish(5000), 0);
    EXPECT_TRUE(std::regex_match(device->output(), std::regex(summaryPattern(0, 0, 0, 0)))) << device->output();
    EXPECT_EQ(capture().data, "\x66");
}

// Started in the background by a script, the device inherits SIGINT ignored and keeps it so: the
// Ctrl-C meant for velkor must not end the capture.
TEST_F(DeviceProgram, KeepsAnIgnoredInterruptIgnored) {
    const std::string script = std::string("trap '' INT; exec ") + VELKOR_DEVICE_BINARY;
    device = std::make_unique<ChildProcess>("/bin/sh", std::vector<std::string>{"-c", script}, EnvList{}, dir);
    ASSERT_TRUE(device->readUntil(kListening, 5000)) << device->output();
    device->signal(SIGINT);
    EXPECT_FALSE(device->readUntil("A0 writes", 300));
    device->signal(SIGTERM);
    EXPECT_EQ(device->finish(5000), 0);
    EXPECT_TRUE(std::regex_match(device->output(), std::regex(summaryPattern(0, 0, 0, 0)))) << device->output();
}

TEST_F(DeviceProgram, ReplacesAStaleLinkButNoOtherFile) {
    ASSERT_EQ(symlink("/nonexistent/pts", (dir + "/opna").c_str()), 0);
    start({});
    EXPECT_TRUE(connect()->isOpen());  // the link now leads to the device
    device->signal(SIGTERM);
    EXPECT_EQ(device->finish(5000), 0);
    EXPECT_FALSE(linkExists());

    std::ofstream(dir + "/opna") << "keep";
    ChildProcess refused(VELKOR_DEVICE_BINARY, {}, {}, dir);
    EXPECT_EQ(refused.finish(5000), 1);
    EXPECT_EQ(refused.output(), "velkor-device: ./opna exists and is not a symbolic link\n");
    EXPECT_EQ(readFile(dir + "/opna"), "keep");
}

TEST_F(DeviceProgram, RejectsABadCommandLine) {
    const std::vector<std::vector<std::string>> commandLines = {
        {"--bogus"}, {"--answer"}, {"--answer", "5g"}, {"--answer", "100"}, {"--vgm"}, {"a", "b"}};
    for (const auto& args : commandLines) {
        ChildProcess child(VELKOR_DEVICE_BINARY, args, {}, dir);
        EXPECT_EQ(child.finish(5000), 2) << args[0];
        EXPECT_EQ(child.output(), "usage: velkor-device [PATH] [--answer HH] [--vgm FILE] [--s98 FILE] [--wav FILE] [--play] [--log FILE]\n") << args[0];
    }
    EXPECT_FALSE(linkExists());
}

}  // namespace
