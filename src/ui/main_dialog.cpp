// The main window: lists the client's news accounts by caption and runs the
// two commands through the result window.
#include "ui/dialogs.h"

#include "account/account_check.h"
#include "registry/account_list.h"
#include "registry/account_store.h"
#include "registry/tool_settings.h"
#include "ui/resource_ids.h"

namespace {

HWND accountList(HWND dialog) { return GetDlgItem(dialog, IDC_ACCOUNT_LIST); }

LRESULT sendToControl(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(GetDlgItem(dialog, id), message, wParam, lParam);
}

// The accounts come already in caption order, so each one goes at the end
// of the list box, which does not sort by itself.
void fillAccountList(HWND list) {
    for (const ListedAccount& account : listNewsAccounts()) {
        const LRESULT row = SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(account.caption.c_str()));
        if (row >= 0) SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(row), account.accountNumber);
    }
}

void greySizingCommands(HWND dialog) {
    HMENU systemMenu = GetSystemMenu(dialog, FALSE);
    EnableMenuItem(systemMenu, SC_MAXIMIZE, MF_GRAYED);
    EnableMenuItem(systemMenu, SC_SIZE, MF_GRAYED);
}

INT_PTR initMainDialog(HWND dialog) {
    if (!openProperties()) {
        MessageBoxA(nullptr, kErrorNoProperties, nullptr, MB_ICONERROR);
        EndDialog(dialog, 0);
        return TRUE;
    }
    fillAccountList(accountList(dialog));
    sendToControl(dialog, IDC_SHOW_REAL_DEFRAG, BM_SETCHECK, loadShowRealDefrag(), 0);
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadIconA(nullptr, IDI_APPLICATION)));
    greySizingCommands(dialog);
    return TRUE;
}

void setRowsSelected(HWND list, int first, int last, BOOL selected) {
    SendMessageA(list, LB_SELITEMRANGE, selected, MAKELPARAM(first, last));
}

void selectAllRows(HWND list, BOOL selected) {
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    if (count > 0) setRowsSelected(list, 0, count - 1, selected);
}

void invertSelection(HWND list) {
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        const bool selected = SendMessageA(list, LB_GETSEL, row, 0) > 0;
        setRowsSelected(list, row, row, selected ? FALSE : TRUE);
    }
}

void runResultWindow(HWND dialog, CheckMode mode) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_RESULT), dialog, resultDialogProc, static_cast<LPARAM>(mode));
}

// Every way of closing saves the check box first.
void closeMainDialog(HWND dialog) {
    const LRESULT state = sendToControl(dialog, IDC_SHOW_REAL_DEFRAG, BM_GETCHECK, 0, 0);
    saveShowRealDefrag(static_cast<uint32_t>(state));
    EndDialog(dialog, 0);
}

// The whole wParam is compared, so only a plain click or key command (high
// half 0) acts; OK, the quick check, the check box and the list's
// notifications are left to the dialog manager.
INT_PTR onMainCommand(HWND dialog, WPARAM wParam) {
    switch (wParam) {
    case IDCANCEL:
        closeMainDialog(dialog);
        return TRUE;
    case IDC_PSEUDO_DEFRAG:
        runResultWindow(dialog, CheckMode::PseudoDefrag);
        selectAllRows(accountList(dialog), FALSE);
        return TRUE;
    case IDC_SELECT_ALL:
        selectAllRows(accountList(dialog), TRUE);
        return TRUE;
    case IDC_INVERT_SELECTION:
        invertSelection(accountList(dialog));
        return TRUE;
    case IDC_ESTIMATE:
        runResultWindow(dialog, CheckMode::Estimate);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return initMainDialog(dialog);
    case WM_COMMAND:
        return onMainCommand(dialog, wParam);
    case WM_CLOSE:
        closeMainDialog(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}
