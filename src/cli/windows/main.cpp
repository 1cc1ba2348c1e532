// portquell-cli.exe: the console program around RunCli.
#include <iostream>
#include <string>
#include <vector>

#include "cli/portquell_cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int code =
        portquell::RunCli(args, portquell::PlatformRegistry(), portquell::PlatformDevices(), std::cout, std::cerr);
    std::cout.flush();
    return code;
}
