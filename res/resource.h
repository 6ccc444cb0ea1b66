// Resource and command identifiers.
#pragma once

// Icon, menu, bitmaps and toolbar
#define IDR_MAINFRAME 128
#define IDR_MAINMENU 131
#define IDB_TOOLBAR 132
#define IDB_TOOLBAR_HOT 133
#define IDR_TOOLBAR 134

// Strings (the command strings share their command's id)
#define IDS_TOOLBAR_MESSAGE 102
#define IDS_STATUS_DRAG_HINT 103

// Controls of the main window
#define IDC_FILE_LIST 1000
#define IDC_OUTPUT_FILE 1002
#define IDC_BROWSE_OUTPUT 1003
#define IDC_BANNER 1004

// Controls of the About box; IDOK is its OK button
#define IDC_STATIC (-1)
#define IDC_WEBSITE_LINK 1001

// Commands of the menu and the toolbar
#define ID_FILE_NEWLIST 32771
#define ID_FILE_ADDFILES 32772
#define ID_FILE_REMOVEFILES 32773
#define ID_FILE_EXIT 32774
#define ID_ACTION_JOIN 32775
#define ID_HELP_ABOUT 32777
#define ID_HELP_CONTENTS 32779

// The status bar's control id
#define IDC_STATUS_BAR 10350

// Sent by a join worker to the window that started it, once its join is complete.
#define ID_JOIN_COMPLETED 1124

// Ids the framework reserves: the application's title and the toolbar's window id
#define AFX_IDS_APP_TITLE 0xE000
#define AFX_IDW_TOOLBAR 0xE800
