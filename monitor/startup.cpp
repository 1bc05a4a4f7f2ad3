#include "monitor/startup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/cpu.h"
#include "host/opna_board.h"
#include "host/register_capture.h"
#include "host/serial_link.h"
#include "host/tick_hook.h"
#include "monitor/monitor.h"
#include "platform/platform.h"

bool parseCommandLine(int argc, const char* const* argv, CommandLine& options) {
    bool good = true;
    bool expectNumber = false;
    for (int i = 1; i < argc; ++i) {
        if (expectNumber) {
            // strtol-style: leading blanks and a sign accepted, no digits gives 0.
            options.comPorts.push_back(static_cast<int>(std::strtoll(argv[i], nullptr, 10)));
            expectNumber = false;
        } else if (std::strcmp(argv[i], "-com") == 0) {
            expectNumber = true;
        } else if (std::strcmp(argv[i], "-exact") == 0) {
            options.mode = CpuMode::exact;
        } else {
            good = false;
        }
    }
    if (options.comPorts.empty()) options.comPorts = {3, 4};
    return good;
}

namespace {
// The start-up position: a DOS-style image loaded at linear 0 starts at 0000:0100.
void setStartupRegisters(Cpu& cpu) {
    cpu.cs = cpu.ds = cpu.es = cpu.ss = 0;
    cpu.ip = 0x0100;
    cpu.sp = 0xFFF8;
}
// VELKOR_CAPTURE="FILE [MS]" starts a capture before the first prompt, as "v FILE [MS]" would:
// a session (the demo's, a script's) is then recorded from its very first command.
void startCaptureFromEnvironment(Monitor& monitor) {
    const char* request = std::getenv("VELKOR_CAPTURE");
    if (!request || *request == '\0') return;
    std::string line = std::string("v ") + request;
    monitor.interpretLine(line.data());
}
}  // namespace

int velkorMain(int argc, const char* const* argv) {
    platform::initConsole();
    CommandLine options;
    if (!parseCommandLine(argc, argv, options)) {
        std::printf("usage: velkor [option]\n\t-com <comport number>\n");
        return 0;
    }
    serialLink.openPorts(options.comPorts);
    serialLink.capture = &registerCapture;
    tickHook.capture = &registerCapture;

    static Cpu cpu;
    cpu.board = &opnaBoard;
    cpu.tick = &tickHook;
    cpu.textWanted = 0;
    cpu.mode = options.mode;
    resetCpu(cpu);
    setStartupRegisters(cpu);

    serialLink.resetHandshake();

    Monitor monitor(cpu, opnaBoard, serialLink, tickHook, registerCapture);
    startCaptureFromEnvironment(monitor);
    monitor.commandLoop();
    // A signal or the closing console ended the session: the capture is finished first.
    registerCapture.stop();
    std::fflush(stdout);
    serialLink.close();
    if (platform::endRequested()) platform::completeOrderlyEnd();
    return 0;
}
