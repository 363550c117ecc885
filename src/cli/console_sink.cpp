// How the account check reaches the user in tavixc: through the console.
#include "account/platform.h"
#include "cli/console.h"

void warnUser(WarningOwner* owner, const char* message) {
    writeStandardError(owner->caption + ": " + message + "\r\n");
    owner->warned = true;
}

void appendReport(ReportSink*, const char* text) { writeStandardOutput(text); }
