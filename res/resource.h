// Resource ids: dialog templates, their controls, and the string table. Each area keeps its
// ids in its own block.
#pragma once

// Collection font picker.
inline constexpr unsigned IDD_FONTNUMBER = 130;
inline constexpr int IDC_LIST_FONTS = 1016;

// Metadata viewer.
inline constexpr unsigned IDD_METADATA = 131;
inline constexpr int IDC_EDIT_METADATA = 1024;
inline constexpr int IDC_BUTTON_SAVE_METADATA = 1030;

// File error messages.
inline constexpr unsigned IDS_FILE_NOERROR = 1033;
inline constexpr unsigned IDS_FILE_GENERIC = 1035;
inline constexpr unsigned IDS_FILE_NOTFOUND = 1002;
inline constexpr unsigned IDS_FILE_BADPATH = 1004;
inline constexpr unsigned IDS_FILE_TOOMANYOPEN = 1007;
inline constexpr unsigned IDS_FILE_ACCESSDENIED = 1008;
inline constexpr unsigned IDS_FILE_INVALIDFILE = 1010;
inline constexpr unsigned IDS_FILE_REMOVECURRENTDIR = 1012;
inline constexpr unsigned IDS_FILE_DIRECTORYFULL = 1014;
inline constexpr unsigned IDS_FILE_BADSEEK = 1018;
inline constexpr unsigned IDS_FILE_HARDIO = 1021;
inline constexpr unsigned IDS_FILE_SHARINGVIOLATION = 1023;
inline constexpr unsigned IDS_FILE_LOCKVIOLATION = 1027;
inline constexpr unsigned IDS_FILE_DISKFULL = 1029;
inline constexpr unsigned IDS_FILE_ENDOFFILE = 1031;
inline constexpr unsigned IDS_FILE_OPEN_FAILED = 1037;
inline constexpr unsigned IDS_FILE_WRITE_FAILED = 1039;

// Main window, about box and the program's icon.
inline constexpr unsigned IDD_ABOUTBOX = 100;
inline constexpr unsigned IDS_ABOUTBOX = 101;
inline constexpr unsigned IDD_FENWRAP_DIALOG = 102;
inline constexpr unsigned IDR_MAINFRAME = 128;
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
inline constexpr int IDC_EDIT_SRC = 1000;
inline constexpr int IDC_BUTTON_BROWSE_SRC = 1001;
inline constexpr int IDC_EDIT_DST = 1003;
inline constexpr int IDC_BUTTON_BROWSE_DST = 1006;
inline constexpr int IDC_CHECK_SAMPLE_HTML = 1009;
inline constexpr int IDC_EDIT_SAMPLE_STRING = 1011;
inline constexpr int IDC_EDIT_METADATA_FILE = 1017;
inline constexpr int IDC_CHECK_EOT = 1019;
inline constexpr int IDC_CHECK_WOFF2 = 1020;
inline constexpr int IDC_CHECK_ADD_SRC_FONT = 1022;
inline constexpr int IDC_BUTTON_BROWSE_META = 1026;
inline constexpr int IDC_CHECK_METADATA = 1032;
inline constexpr int IDC_STATIC_AD_AREA = 1034;
inline constexpr int IDC_STATIC_STATUS = 1036;
inline constexpr int IDC_LINK_MAKER = 1038;
