#pragma once
// Identifiers of the module's resources. The German satellite carries the
// same identifiers, so code never needs to know which module it reads from.
// Plain #defines: the resource compiler reads this file too.

// String table
#define IDS_COLUMN_FILE 1
#define IDS_COLUMN_SIZE 2
#define IDS_COLUMN_MODIFIED 3
#define IDS_WINDOW_CLASS 4
#define IDS_CAPTION_ATTENTION 5
#define IDS_CONFIRM_DELETE_FILE 6
#define IDS_CONFIRM_DELETE_SYSFILE 7
#define IDS_CONFIRM_DELETE_FILES 8
#define IDS_CONFIRM_DELETE_SYSFILES 9
#define IDS_PROGRESS_FILE 10
#define IDS_PROGRESS_FILES 11
#define IDS_ASK_OVERWRITE 12
#define IDS_ERROR_READ_LIST 13
#define IDS_NO_DEVICES 16
#define IDS_COLUMN_DEVICE 17
#define IDS_COLUMN_SERIAL 18
#define IDS_COLUMN_PORT 19
#define IDS_ERROR_NO_COMMUNICATION 21
#define IDS_ERROR_RECEIVE_FROM 22
#define IDS_CAPTION_ERROR 23
#define IDS_PROGRESS_DEVICE_COPY 24
#define IDS_ERROR_RENAME_EXISTS 25
#define IDS_ERROR_DEVICE_FULL 26
#define IDS_ERROR_COPY_TO_ITSELF 27
#define IDS_FIRMWARE_TOO_OLD 28
#define IDS_CAPTION_INFORMATION 29
#define IDS_ERROR_RENAME 30
#define IDS_ERROR_DELETE 31
#define IDS_ERROR_UPLOAD 32
#define IDS_ERROR_DOWNLOAD 33
#define IDS_ERROR_SEND_TO 34
#define IDS_STATUS_DEVICES 36
#define IDS_STATUS_FILES 37
#define IDS_STATUS_COPIED 38
#define IDS_STATUS_MOVED 39
#define IDS_STATUS_DELETED 40
#define IDS_STATUS_RENAMED 41
#define IDS_ABOUT_CAPTION 43
#define IDS_ABOUT_TEXT 44
#define IDS_CONFIRM_MOVE_SYSFILE 45
#define IDS_CONFIRM_MOVE_SYSFILES 46
#define IDS_CONFIRM_RENAME_SYSFILE 47
#define IDS_ERROR_DIRECTORY_DROPPED 48
#define IDS_TRANSFER_FINISHED 49

// Menus
#define IDM_MERGED 105
#define IDM_FILE_POPUP 107
#define IDM_BACKGROUND_POPUP 108
#define IDM_DEVICE_POPUP 109

// Accelerators (same number as the device-list menu, another resource type)
#define IDA_VIEW 109

// Dialogs
#define IDD_OVERWRITE 112
#define IDD_PROGRESS_SINGLE 121
#define IDD_PROGRESS_MULTI 123

// Icon group of the module
#define IDI_NIMBREL 113

// Dialog controls
#define IDC_FILE_BAR 1000
#define IDC_FILE_NAME 1001
#define IDC_REMAINING_TIME 1002
#define IDC_ABORT 1003
#define IDC_TOTAL_BAR 1004
#define IDC_OVERWRITE_YES 1005
#define IDC_OVERWRITE_ALL 1006
#define IDC_OVERWRITE_CANCEL 1007
#define IDC_QUESTION 1008
#define IDC_OVERWRITE_NO 3

// View commands (menus, accelerators, toolbar)
#define IDM_VIEW_LARGE_ICONS 256
#define IDM_VIEW_SMALL_ICONS 257
#define IDM_VIEW_LIST 258
#define IDM_VIEW_DETAILS 259
#define IDM_DELETE 260
#define IDM_RENAME 261
#define IDM_SELECT_ALL 263
#define IDM_INVERT_SELECTION 264
#define IDM_HIDE_SYSTEM_FILES 265
#define IDM_CUT 267
#define IDM_COPY 268
#define IDM_PASTE 269
#define IDM_REFRESH 271
#define IDM_OPEN_DEVICE 274
#define IDM_PARENT_FOLDER 275
#define IDM_ABOUT 277
// Sort by the list's first, second or third column
#define IDM_SORT_FIRST 280
#define IDM_SORT_SECOND 281
#define IDM_SORT_THIRD 282

// The list control inside the view window
#define IDC_LIST 159
