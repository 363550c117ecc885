// The program's two modal windows.
#pragma once

#include <windows.h>

// The main window, template IDD_MAIN: the account list and the commands.
INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The result window, template IDD_RESULT, owned by the main window; its
// parameter is the CheckMode as an integer.
INT_PTR CALLBACK resultDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
