// How the account check reaches the user in the window: warnings in message
// boxes owned by the result window, the report in its report control.
#include <windows.h>

#include "account/platform.h"

void warnUser(WarningOwner* owner, const char* message) {
    MessageBoxA(reinterpret_cast<HWND>(owner), message, nullptr, MB_OK | MB_ICONWARNING);
}

void appendReport(ReportSink* sink, const char* text) {
    SendMessageA(reinterpret_cast<HWND>(sink), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
}
