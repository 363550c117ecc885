// Program entry of tavixc, the console program.
#include "cli/console.h"
#include "cli/tavixc.h"

int main() {
    InexactArgument inexact;
    const std::vector<std::string> arguments = commandArguments(&inexact);
    return inexact.typed.empty() ? runTavixc(arguments) : refuseInexactArgument(inexact);
}
