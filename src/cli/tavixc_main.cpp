// Program entry of tavixc, the console program.
#include "cli/console.h"
#include "cli/tavixc.h"

int main() {
    std::string inexact;
    const std::vector<std::string> arguments = commandArguments(&inexact);
    return inexact.empty() ? runTavixc(arguments) : refuseInexactArgument(inexact);
}
