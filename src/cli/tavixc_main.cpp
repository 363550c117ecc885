// Program entry of tavixc, the console program.
#include "cli/console.h"
#include "cli/tavixc.h"

int main() { return runTavixc(commandArguments()); }
