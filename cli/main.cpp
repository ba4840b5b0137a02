#include "cli/CliApp.h"
#include "platform/Interrupts.h"
#include "platform/LargeAllocator.h"
#include "platform/Log.h"
#include "platform/System.h"
#include "platform/Terminal.h"
#include "platform/TerminalProgressView.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

frostmark::CCliInterrupt g_interrupt;

void OnInterrupt(int request) {
    g_interrupt.Raise(request);
}

} // namespace

int main(int argc, char** argv) {
    using namespace frostmark;
    // From here on SIGINT and SIGTERM stop the command in an orderly way instead of killing the process
    // in the middle of writing.
    CatchInterrupts(&OnInterrupt);
    // Script sets of tens of megabytes become hundreds of thousands of small objects.
    PrepareHugePageHeap(std::size_t(512) << 20);
    std::ios::sync_with_stdio(true);
    // The log goes where the desktop program writes it: the working directory. A directory that cannot
    // be written only costs the log.
    g_Log.Start({}, "frostmark-cli v1.04");
    PrepareConsole();
    std::vector<std::string> args = CommandLineArguments(argc, argv);
    std::string line;
    for (const std::string& arg : args)
        line += " " + arg;
    g_Log.Log("Command line:%s", line.c_str());
    std::string standardInputWhat;
    std::string standardInputFile = StandardInputFilePath(&standardInputWhat);
    CCliEnvironment environment{std::cout, std::cerr,         IsTerminal(stderr) ? stderr : nullptr,
                                &std::cin, standardInputFile, standardInputWhat,
                                stdout,    &g_interrupt};
    int code = RunCli(args, environment);
    g_Log.Log("Exit status %d", code);
    g_Log.Stop();
    InterruptHandled();
    return code;
}
