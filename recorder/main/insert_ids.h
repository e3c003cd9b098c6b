// Resource numbers of the insert dialogs (recording.rc).
#pragma once

#define IDD_INSERT_LAUNCH 171
#define IDD_INSERT_TEXT 172
#define IDD_INSERT_INPUT 173
#define IDD_INSERT_DATE_TIME 174

#define IDC_INSERT_APPLICATION 1014
#define IDC_INSERT_COMMAND_LINE 1015
#define IDC_INSERT_DATE_FORMAT 1016
#define IDC_INSERT_INPUT 1017
#define IDC_INSERT_TEXT 1018
#define IDC_INSERT_BROWSE 1027

// "エラー", of the program's string table.
#define IDS_INSERT_ERROR 1000
