// Ids of the two dialog templates and their controls, shared by the resource
// script and the dialog procedures. Plain defines: the resource compiler
// reads this file too.
#pragma once

#define IDD_MAIN 101
#define IDD_RESULT 102

// Main window
#define IDC_ACCOUNT_LIST 1000
#define IDC_PSEUDO_DEFRAG 3
#define IDC_SELECT_ALL 4
#define IDC_INVERT_SELECTION 5
#define IDC_ESTIMATE 1002
#define IDC_QUICK_CHECK 1003
#define IDC_SHOW_REAL_DEFRAG 1006

// Result window
#define IDC_REPORT 1005
