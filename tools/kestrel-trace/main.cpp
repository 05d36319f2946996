// kestrel-trace: a trace session that enables the module's trace provider and
// prints its events decoded, one a line.
#include "TraceProgram.h"

#include "platform/CommandLine.h"

#include <csignal>
#include <iostream>

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    Vanta::TraceProgram program(std::cout, std::cerr, [] { return interrupted != 0; });
    return program.run(Vanta::commandLineArguments(argc, argv));
}
