// Program entry: the main window is the whole program.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "ui/dialogs.h"
#include "ui/resource_ids.h"

namespace {

// In both languages and in UTF-16, since the code page that would show the
// Japanese is just what is missing.
const wchar_t kNeedsCodePage932[] =
    L"tavix の文字はコードページ932 (日本語) ですが、Windows がこのプログラムに"
    L"そのコードページを与えていません。\n"
    L"コントロール パネルの「地域」→「管理」→「Unicode 対応ではないプログラムの言語」を"
    L"「日本語 (日本)」にしてから起動してください。\n\n"
    L"tavix needs code page 932 (Japanese), which Windows did not give it. Set Control Panel > Region > "
    L"Administrative > Language for non-Unicode programs to Japanese (Japan), then start tavix again.";

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The manifest asks for code page 932, which Windows 11 grants whatever
    // the system's language; Windows 10 set to another language does not.
    // Every text would then be misread, the captions the user chooses by
    // among them, so tavix says so and ends rather than guess.
    if (GetACP() != 932) {
        MessageBoxW(nullptr, kNeedsCodePage932, L"Morvex News System Checker", MB_ICONERROR);
        return 1;
    }
    // The manifest asks for the version 6 controls; registering them here
    // makes the dialogs use them also where the loader would not.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0));
}
