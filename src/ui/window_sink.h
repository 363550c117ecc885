// How the account check reaches the user in the window: warnings in message
// boxes owned by the result window, the report in its report control.
#pragma once

#include <windows.h>

#include "account/platform.h"

WarningOwner messageBoxesOwnedBy(HWND window);
// A multi-line edit control, appended to at its end.
ReportSink reportControl(HWND edit);
