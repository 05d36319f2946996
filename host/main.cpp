// kestrel-host: loads a module library, drives its life cycle over the bus
// library and plays status scenarios.
#include "HostProgram.h"

#include "platform/CommandLine.h"

#include <iostream>

int main(int argc, char** argv) {
    Vanta::HostProgram program(std::cout, std::cerr);
    return program.run(Vanta::commandLineArguments(argc, argv));
}
