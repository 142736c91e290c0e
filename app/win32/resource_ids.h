#pragma once
// Identifiers of the Windows window's resources and controls, shared by the resource script
// and the code.

#define IDI_KESTROVA_CHECKER 1
#define IDR_MAIN_MENU 100
#define IDR_MAIN_ACCELERATORS 101

// Menu commands.
#define IDM_FILE_OPEN 1001
#define IDM_FILE_PRINT 1002
#define IDM_HELP_ABOUT 1003

// The report box lstReports.
#define IDC_LST_REPORTS 1100

// The print progress dialog.
#define IDD_PRINT_PROGRESS 200
#define IDC_PRINT_PROGRESS_TEXT 201

// The About dialog frmAbout and its controls, in tab order.
#define IDD_FRM_ABOUT 300
#define IDC_CMD_OK 1 // IDOK: Enter presses it
#define IDC_PIC_ICON 301
#define IDC_CMD_SYS_INFO 302
#define IDC_LBL_DESCRIPTION 303
#define IDC_LBL_DISCLAIMER 304
#define IDC_LBL_TITLE 305
#define IDC_LBL_VERSION 306
