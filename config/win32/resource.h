#pragma once
// Resource numbers and control ids of mwconfig.exe's dialogs, menus and images.

// Icon, menus, dialogs, images.
#define IDR_MAINFRAME 128
#define IDD_MAINDLG 129
#define IDD_OVERVIEW 201
#define IDD_SETTINGS 202
#define IDD_CONTACTUS 203
#define IDR_TRAYMENU 204
#define IDD_TRAYNOTIFICATION 205
#define IDD_UNDELETEDFILES 206
#define IDD_PROXY 207
#define IDB_BANNER 210

// Main dialog.
#define IDC_TAB 1000

// Settings page.
#define IDC_FOLDER 1002
#define IDC_BROWSE 1003
#define IDC_AGE_DAY 1004
#define IDC_AGE_WEEK 1005
#define IDC_AGE_MONTH 1006
#define IDC_AGE_3MONTH 1007
#define IDC_AGE_6MONTH 1008
#define IDC_AGE_YEAR 1009
#define IDC_TYPE_FIRST 1010
#define IDC_TYPE_LAST 1019
#define IDC_OTHERTYPES 1020
#define IDC_STARTTIME 1031
#define IDC_SETPROXY 1036
#define IDC_SETTINGS_BANNER 1044

// Overview page.
#define IDC_SCANNOW 1022
#define IDC_RESETCOUNT 1023
#define IDC_LASTSCAN 1024
#define IDC_CLEANEDSPACE 1025
#define IDC_OVERVIEW_BANNER 1043

// Contact page.
#define IDC_NAME 1026
#define IDC_EMAIL 1027
#define IDC_TEXT 1028
#define IDC_SEND 1030
#define IDC_CONTACT_BANNER 1045

// Notification and list.
#define IDC_NOTIFYTEXT 1032
#define IDC_UNDELETEDLIST 1034

// Proxy dialog.
#define IDC_PROXYSERVER 1037
#define IDC_PROXYPORT 1038
#define IDC_USEPROXY 1039
#define IDC_USESYSPROXY 1046

// Tray menu commands.
#define ID_TRAY_SHOW 32775
#define ID_TRAY_EXIT 32776

// Read-only notice on the Settings page: not one of the dialog's own controls,
// shown only when the service refuses this user's changes.
#define IDC_SETTINGS_NOTICE 1090

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
