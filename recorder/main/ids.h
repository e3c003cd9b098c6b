// Resource, command, control and message numbers of zarvo-bot (shared by
// the resource script and the code).
#pragma once

// Resources
#define IDM_MAIN 101         // the main menu
#define IDA_MAIN 102         // its accelerators
#define IDM_TRAY 103         // the notification-area icon's menu
#define IDM_DROP 154         // the menu after a right-button drag
#define IDD_NAME 122         // a scenario's name
#define IDD_CALL_KEY 130     // a scenario's call key
#define IDD_REPEAT 150       // repeat play
#define IDD_GROUP 151        // a group's options
#define IDD_TUTORIAL 160     // the short tutorial

// Controls
#define IDC_LIST 1001
#define IDC_HEADER_LINE 1002
#define IDC_RECORD 1003
#define IDC_PAUSE 1004
#define IDC_STOP 1005
#define IDC_HOTKEY 1012
#define IDC_NAME 1024
#define IDC_START_CONFIRM 1038
#define IDC_END_CONFIRM 1039
#define IDC_COUNT 1041
#define IDC_KEEP_COUNT 1042
#define IDC_TUTORIAL_TEXT 1050
#define IDC_HIDE_TUTORIAL 1051

// Menu commands
#define ID_NEW_GROUP 40001
#define ID_NEW_SCRIPT 40002
#define ID_REFRESH 40003
#define ID_IMPORT 40004
#define ID_EXPORT 40005
#define ID_EXECUTABLE 40006
#define ID_CLOSE 40007
#define ID_EXIT 40008
#define ID_PLAY 40010
#define ID_REPEAT_PLAY 40011
#define ID_EDIT 40012
#define ID_RENAME 40013
#define ID_COPY 40014
#define ID_CALL_KEY 40015
#define ID_DELETE 40016
#define ID_MOVE_UP 40017
#define ID_MOVE_DOWN 40018
#define ID_CONVERT 40019
#define ID_RECORD 40020
#define ID_PAUSE 40021
#define ID_STOP 40022
#define ID_INSERT_LAUNCH 40023
#define ID_INSERT_TEXT 40024
#define ID_INSERT_INPUT 40025
#define ID_INSERT_DATETIME 40026
#define ID_REC_MOUSE_MOVE 40027
#define ID_STATISTICS 40030
#define ID_PLAY_LOG 40031
#define ID_TUTORIAL 40040
#define ID_MANUAL 40041
#define ID_HOME_PAGE 40042
#define ID_SHOW 40050

// Strings
#define IDS_ERROR 1000
#define IDS_PAUSED 1002
#define IDS_PLAYING 1004
#define IDS_RECORDING 1005
#define IDS_PLAY_ITEM 1006
#define IDS_STOP_ITEM 1007
#define IDS_EDIT_GROUP_ITEM 1008
#define IDS_EDIT_SCENARIO_ITEM 1009
#define IDS_CALL_KEY_FAILED 1010
#define IDS_NOTHING_TO_PLAY 1011
#define IDS_PLAY_FAILED 1012
#define IDS_NOT_FOUND 1014
#define IDS_EXPORT_FAILED 1030
#define IDS_CHOOSE_OUTPUT 1031
#define IDS_EXECUTABLE_FAILED 1032
#define IDS_CLOSE_SCRIPT_EDITOR 1033
#define IDS_NO_REPEAT_FOR_SCRIPT 1035
#define IDS_ALREADY_SCRIPT 1036
#define IDS_CONVERT_QUESTION 1037
#define IDS_CONVERT_FAILED 1038
#define IDS_LOG_FOLDER 1042
#define IDS_MANUAL_FAILED 1045
#define IDS_CONVERT 1046
#define IDS_EDITOR_LATER 1047
#define IDS_START_FAILED 1048
#define IDS_REPEAT_TIMES 1100
#define IDS_TIP_PLAY 1101
#define IDS_TIP_STOP 1102
#define IDS_TIP_EDIT 1103
#define IDS_TIP_EDIT_GROUP 1104
#define IDS_GROUP_ONLY 1105
#define IDS_RENAME 1200
#define IDS_NEW_GROUP 1201
#define IDS_COUNT_TOO_SMALL 1206
#define IDS_NEW_SCRIPT 1212

// Window messages
#define WM_ZV_HOOK_MOUSE 1124
#define WM_ZV_HOOK_KEY 1125
#define WM_ZV_TRAY 1126
#define WM_ZV_PLAY_START 1134
#define WM_ZV_PLAY_END 1135
#define WM_ZV_EDITOR_PLAY_ENDED 1144
#define WM_ZV_REGISTER_KEYS 1154
#define WM_ZV_UNREGISTER_KEYS 1155
#define WM_ZV_STEP 1425
// list -> main window
#define WM_ZV_CONTEXT_MENU 1225
#define WM_ZV_SELECTION_CHANGED 1226
#define WM_ZV_PLAY_SELECTED 1227
#define WM_ZV_EDIT_SELECTED 1228
#define WM_ZV_MOVE_TO 1229
#define WM_ZV_COPY_TO 1230
#define WM_ZV_GROUP_WITH 1231
// main window -> list
#define LM_GET_SELECTED 1325
#define LM_GET_SELECTED_ROW 1326
#define LM_GET_ROW_COUNT 1327
#define LM_SELECT_ENTRY 1328
#define LM_SELECT_ROW 1329
#define LM_REBUILD 1330
#define LM_SHOW_SELECTION 1331
#define LM_ENTRY_AT 1332
// the main window to itself: play the entry whose play identifier is in
// lParam and tell the window in wParam (may be null) how it went (posted
// by the command line handling so that the hand-over returns first)
#define WM_ZV_PLAY_ENTRY (WM_APP + 20)
// the main window to itself: handle the command line a second start handed
// over (the second start does not wait for message boxes it may cause)
#define WM_ZV_COMMAND_LINE (WM_APP + 21)
