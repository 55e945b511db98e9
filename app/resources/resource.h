/*
 * Resource ids of Brindlemark, grouped by kind. This header is read by the
 * resource compiler and by the C++ code alike, so it holds only #defines.
 */
#ifndef BRINDLEMARK_RESOURCE_H
#define BRINDLEMARK_RESOURCE_H

/* Version, written once: the version resource and the About box use it. */
#define BRINDLE_VERSION_BINARY 1,0,0,0
#define BRINDLE_VERSION_TEXT "1, 0, 0, 0"
#define BRINDLE_VERSION_DOTTED "1.0.0.0"

/* Dialog templates */
#define IDD_ABOUT 109
#define IDD_MAIN 110

/* Menu */
#define IDM_MAIN 111

/* Controls of the main dialog (110) */
#define IDC_DRIVE_GROUP 1011
#define IDC_FIRST_DRIVE_CHECK 1023 /* 1023 to 1048, one per slot */
#define IDC_LAST_DRIVE_CHECK 1048
#define IDC_FIRST_DRIVE_LABEL 1101 /* 1101 to 1126, one per slot */
#define IDC_LAST_DRIVE_LABEL 1126
#define IDC_EXIT 1009
#define IDC_DRIVE_TEXT 1052
#define IDC_LOG_CAPTION 1053
#define IDC_LOG_PATH 1054
#define IDC_START 1005
#define IDC_CANCEL 1006
#define IDC_SCANNING_CAPTION 1007

/* Controls of the About box (109) */
#define IDC_ABOUT_PRODUCT 1014
#define IDC_ABOUT_VERSION 1015
#define IDC_ABOUT_COPYRIGHT 1016

/* Menu commands */
#define IDM_README 40007
#define IDM_EXIT 40008
#define IDM_ABOUT 40009
#define IDM_OPEN_LOG 40010
#define IDM_START_SCAN 40011
#define IDM_CANCEL_SCAN 40012
#define IDM_CLEAR_LOG 40013

/* Strings (texts in strings.inc); 17 and 19 are not defined. */
#define IDS_NOT_ZYPHOR_PROCESSOR 1
#define IDS_OS_NOT_SUPPORTED 2
#define IDS_ERRATA_FOUND 3
#define IDS_REGISTRATION_FAILURE 4
#define IDS_ALREADY_RUNNING 5
#define IDS_PROCESSOR_MASK 6
#define IDS_MAIN_DIALOG_FAILED 7
#define IDS_WINDOW_INIT_FAILED 8
#define IDS_WINDOW_CREATION_FAILED 9
#define IDS_WINDOW_TITLE 10
#define IDS_OPTION_NOT_SUPPORTED 11
#define IDS_COMMAND_NOT_SUPPORTED 12
#define IDS_NO_HARD_DISKS 13
#define IDS_FILE_SCAN_FAILED 14
#define IDS_ALLOC_FAILED 15
#define IDS_NO_DRIVES_SELECTED 16
#define IDS_LOG_NAME_FAILED 18
#define IDS_LOG_FILE_NAME 20
#define IDS_SCAN_CANCELED 21
#define IDS_STATUS_STOPPED 22
#define IDS_WORKER_FAILED 23
#define IDS_PROGRESS_BAR_FAILED 24
#define IDS_DATA_FILE_FAILED 25
#define IDS_SCAN_COMPLETED 26
#define IDS_PROGRESS_FAILED 27
#define IDS_STATUS_COMPLETED 28
#define IDS_INVALID_FILE 29
#define IDS_LOG_OPEN_FAILED 30
#define IDS_LOG_SIZE_FAILED 31
#define IDS_EXCEPTION_TERMINATING 32
#define IDS_STATUS_EXCEPTION 33
#define IDS_STATUS_FAILED 34
#define IDS_DATAFILE_CORRUPT 35

#endif
