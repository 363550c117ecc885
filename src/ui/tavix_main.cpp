// Program entry: the main window is the whole program.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "ui/dialogs.h"
#include "ui/resource_ids.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The manifest asks for the version 6 controls; registering them here
    // makes the dialogs use them also where the loader would not.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0));
}
