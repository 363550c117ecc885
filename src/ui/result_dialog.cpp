// The result window: runs the account checks for the main window's selected
// rows while it initialises, then shows the report in a fixed-pitch font.
#include "ui/dialogs.h"

#include <cstring>

#include "account/account_check.h"
#include "ui/resource_ids.h"
#include "ui/scoped_gdi.h"
#include "ui/window_sink.h"

namespace {

const char kPseudoDefragTitle[] = "偽デフラグ結果";
const char kEstimateTitle[] = "デフラグ見積り";
const char kReportFace[] = "ＭＳ ゴシック";
const int kReportPoints = 9;

int width(const RECT& rect) { return rect.right - rect.left; }
int height(const RECT& rect) { return rect.bottom - rect.top; }

void centreOverOwner(HWND dialog, HWND owner) {
    RECT ownerRect;
    RECT ownRect;
    GetWindowRect(owner, &ownerRect);
    GetWindowRect(dialog, &ownRect);
    const int x = ownerRect.left + (width(ownerRect) - width(ownRect)) / 2;
    const int y = ownerRect.top + (height(ownerRect) - height(ownRect)) / 2;
    SetWindowPos(dialog, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
}

// Rows are handled from the top, so the report follows the captions' order.
void runChecks(HWND dialog, HWND owner, CheckMode mode) {
    HWND list = GetDlgItem(owner, IDC_ACCOUNT_LIST);
    HWND report = GetDlgItem(dialog, IDC_REPORT);
    const bool showRealDefrag = SendMessageA(GetDlgItem(owner, IDC_SHOW_REAL_DEFRAG), BM_GETCHECK, 0, 0) == BST_CHECKED;
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        if (SendMessageA(list, LB_GETSEL, row, 0) <= 0) continue;
        const auto accountNumber = static_cast<int32_t>(SendMessageA(list, LB_GETITEMDATA, row, 0));
        checkAccount(messageBoxesOwnedBy(dialog), accountNumber, mode, showRealDefrag, reportControl(report));
    }
}

int pixelsPerInchDown(HWND window) {
    ScopedWindowDC context(window);
    return GetDeviceCaps(context.get(), LOGPIXELSY);
}

// The font lives as long as the window: the report control holds it until
// the window closes.
void setReportFont(HWND report) {
    LOGFONTA description{};
    description.lfHeight = -(pixelsPerInchDown(report) * kReportPoints) / 72;
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(description.lfFaceName, kReportFace);
    SendMessageA(report, WM_SETFONT, reinterpret_cast<WPARAM>(CreateFontIndirectA(&description)), TRUE);
}

INT_PTR initResultDialog(HWND dialog, LPARAM modeParameter) {
    HWND owner = GetParent(dialog);
    const CheckMode mode = modeParameter == 0 ? CheckMode::Estimate : CheckMode::PseudoDefrag;
    centreOverOwner(dialog, owner);
    SetWindowTextA(dialog, mode == CheckMode::Estimate ? kEstimateTitle : kPseudoDefragTitle);
    // The edit control's default limit would cut a long report short.
    SendMessageA(GetDlgItem(dialog, IDC_REPORT), EM_LIMITTEXT, 0, 0);
    runChecks(dialog, owner, mode);
    setReportFont(GetDlgItem(dialog, IDC_REPORT));
    return TRUE;  // the focus goes to the first tab stop, OK
}

// The font is taken back from the control and detached from it, so that a
// second close request could not delete it again.
void closeResultDialog(HWND dialog) {
    HWND report = GetDlgItem(dialog, IDC_REPORT);
    ScopedFont font(reinterpret_cast<HFONT>(SendMessageA(report, WM_GETFONT, 0, 0)));
    EndDialog(dialog, 0);
    SendMessageA(report, WM_SETFONT, 0, FALSE);
}

}  // namespace

INT_PTR CALLBACK resultDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return initResultDialog(dialog, lParam);
    case WM_CLOSE:
        closeResultDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (wParam) {
        case IDOK:  // the OK button or Enter; cancel (IDCANCEL) does not close
            closeResultDialog(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}
