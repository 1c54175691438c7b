#pragma once
// Resource IDs of TavUpdate.exe (shared by the resource script and the code).

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_TAVUPDATE_DIALOG 102
#define IDS_SOCKETS_INIT_FAILED 103
#define IDR_MAINFRAME 128

#define IDC_PROGRESS_STAGE 1000
#define IDC_STATIC_STAGE 1001
#define IDC_PROGRESS_FILE 1002
#define IDC_STATIC_FILE 1003
#define IDC_STATIC_BYTES 1004

// System-menu command of the About item.
#define IDM_SYS_ABOUT 0x0010
