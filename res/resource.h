// Resource and control identifiers, shared by the .rc files and the code.
#pragma once

#define IDI_VELK 103

// Dialog templates: "VELK" and "CUSTOMSIZE" are named; the others numbered.
#define IDD_ABOUT 105
#define IDD_PREF_DIRECTORY 107
#define IDD_PREF_GENERAL 109
#define IDD_SPLIT_PROGRESS 111

// Main window ("VELK")
#define IDC_ABOUT 1000
#define IDC_SPLIT 1001
#define IDC_HELPBUTTON 1002
#define IDC_BROWSE_SOURCE 1003
#define IDC_BROWSE_DEST 1004
#define IDC_SOURCE_BOX 1005
#define IDC_SIZE_BOX 1007
#define IDC_CLOSE 1008
#define IDC_FILE_SIZE_TEXT 1009
#define IDC_PART_COUNT_TEXT 1010
#define IDC_SPLIT_SIZE_TEXT 1011
#define IDC_CUSTOMIZE 1013
#define IDC_DEST_BOX 1022

// Custom size dialog ("CUSTOMSIZE")
#define IDC_CUSTOM_SIZE_BOX 1010
#define IDC_CUSTOM_SIZE_LABEL 1011
#define IDC_CUSTOM_CANCEL 1012
#define IDC_CUSTOM_PARTS_BOX 1014

// Preferences pages
#define IDC_PREF_SAME_AS_SOURCE 1016
#define IDC_PREF_USE_RECENT 1017
#define IDC_PREF_RECENT_LIMIT 1019
#define IDC_PREF_MIN_TO_TRAY 1020
#define IDC_PREF_SHELL_MENU 1022
#define IDC_PREF_RECOVERY_PARTS 1023

// Progress window of a split run (IDD_SPLIT_PROGRESS); its Cancel button is IDCANCEL
#define IDC_PROGRESS_PART 1030
#define IDC_PROGRESS_BAR 1031
