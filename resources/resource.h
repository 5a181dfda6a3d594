// Resource identifiers. Plain #defines: included by the resource script, the
// pages, the portable page logic and the end-to-end driver.
#pragma once

// Dialog templates
#define IDD_ABOUT_BOX 100
#define IDD_SETTINGS_PAGE 102
#define IDD_OS_PAGE 129
#define IDD_CREATE_PORT 138
#define IDD_PORT_PAGE 139

// Icon and strings
#define IDI_ORIEL 128
#define IDS_ABOUT_ITEM 101

// System menu command of the About item
#define IDM_ABOUT_BOX 16

// OS page (129)
#define IDC_OS_WIN95 1000
#define IDC_OS_WIN98 1001
#define IDC_OS_NT4 1002
#define IDC_OS_WIN2000 1003
#define IDC_OS_WINXP 1004
#define IDC_OS_WIN7 1005
#define IDC_OS_WIN8 1006
#define IDC_OS_SLIDER 1007
#define IDC_OS_BACK 1008
#define IDC_OS_NEXT 1009
#define IDC_OS_EXIT 1010
#define IDC_OS_WIN2003 1011
#define IDC_OS_VISTA 1020

// Settings page (102)
#define IDC_SET_BACK 1008
#define IDC_SET_NEXT 1009
#define IDC_SET_EXIT 1010
#define IDC_SET_MODEL 1011
#define IDC_SET_DEFAULT 1012
#define IDC_SET_NAME 1013
#define IDC_SET_PORT 1014
#define IDC_SET_BAUD 1015
#define IDC_SET_DATABITS 1016
#define IDC_SET_FLOW 1017
#define IDC_SET_PARITY 1018
#define IDC_SET_STOPBITS 1019

// Port page (139)
#define IDC_PORT_SLIDER 1007
#define IDC_PORT_CREATE 1008
#define IDC_PORT_CONFIGURE 1009
#define IDC_PORT_BACK 1010
#define IDC_PORT_LIST 1021
#define IDC_PORT_INSTALL 1022
#define IDC_PORT_CANCEL 1023
#define IDC_PORT_PROGRESS 1025

// Create port dialog (138)
#define IDC_CP_MONITORS 1021
#define IDC_CP_NEW_PORT 1008
#define IDC_CP_CLOSE 1009

// Labels, group boxes and the About box's icon and texts
#define IDC_STATIC_TEXT (-1)
