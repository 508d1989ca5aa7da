// Resource and control IDs, shared by the resource script and the code.
#pragma once

#define IDD_MAIN 129

#define IDI_MAIN_LARGE 107
#define IDI_MAIN_SMALL 108

#define IDC_UPDATES 1001
#define IDC_REMOVE 1003
#define IDC_LOG 1005
#define IDC_UNDO 1006
#define IDC_ABOUT_TEXT -1
