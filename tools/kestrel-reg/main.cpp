// kestrel-reg: query, add, delete, import and export registry keys and values.
#include "RegTool.h"

#include "platform/CommandLine.h"

#include <iostream>

int main(int argc, char** argv) {
    Vanta::RegTool tool(std::cout, std::cerr);
    return tool.run(Vanta::commandLineArguments(argc, argv));
}
