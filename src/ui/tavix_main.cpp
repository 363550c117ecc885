// Program entry: the main window is the whole program.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "ui/dialogs.h"
#include "ui/resource_ids.h"

namespace {

// In both languages and in UTF-16, since the code page that would show the
// Japanese is just what is missing. Both give the whole way back to 932,
// the restart included: Windows changes the code page only at start-up.
const wchar_t kNeedsCodePage932[] =
    L"tavix の文字はコードページ932 (日本語) ですが、Windows がこのプログラムに"
    L"そのコードページを与えていません。\n"
    L"コントロール パネルの「地域」→「管理」→「システム ロケールの変更」で"
    L"「日本語 (日本)」を選び、Windows を再起動してから tavix を起動してください。\n\n"
    L"tavix needs code page 932 (Japanese), which Windows did not give it. In Control Panel > Region > "
    L"Administrative > Change system locale, choose Japanese (Japan), restart Windows, then start tavix again.";

// Windows 10's UTF-8 option gives every program code page 65001, whatever
// the system locale: the locale may well be Japanese already, and the
// option is what to clear.
const wchar_t kNeedsCodePage932NotUtf8[] =
    L"tavix の文字はコードページ932 (日本語) ですが、Windows の「ベータ: ワールドワイド言語サポートで "
    L"Unicode UTF-8 を使用」がオンのため、このプログラムには UTF-8 が与えられています。\n"
    L"コントロール パネルの「地域」→「管理」→「システム ロケールの変更」でこのチェックを外し、"
    L"「現在のシステム ロケール」が「日本語 (日本)」であることを確かめて、Windows を再起動してから "
    L"tavix を起動してください。\n\n"
    L"tavix needs code page 932 (Japanese), but Windows gives it UTF-8, because \"Beta: Use Unicode UTF-8 "
    L"for worldwide language support\" is ticked. In Control Panel > Region > Administrative > Change "
    L"system locale, clear that option, make sure the current system locale is Japanese (Japan), restart "
    L"Windows, then start tavix again.";

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The manifest asks for code page 932, which Windows 11 grants whatever
    // the system's language; Windows 10 set to another language does not.
    // Every text would then be misread, the captions the user chooses by
    // among them, so tavix says so and ends rather than guess.
    if (GetACP() != 932) {
        MessageBoxW(nullptr, GetACP() == CP_UTF8 ? kNeedsCodePage932NotUtf8 : kNeedsCodePage932,
                    L"Morvex News System Checker", MB_ICONERROR);
        return 1;
    }
    // The manifest asks for the version 6 controls; registering them here
    // makes the dialogs use them also where the loader would not.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0));
}
