#include "ui/window_sink.h"

namespace {

void showWarningBox(void* window, const char* message) {
    MessageBoxA(static_cast<HWND>(window), message, nullptr, MB_OK | MB_ICONWARNING);
}

void appendToEdit(void* edit, const char* text) {
    SendMessageA(static_cast<HWND>(edit), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
}

}  // namespace

WarningOwner messageBoxesOwnedBy(HWND window) { return WarningOwner{window, showWarningBox}; }

ReportSink reportControl(HWND edit) { return ReportSink{edit, appendToEdit}; }
