// Resource ids: dialog templates, their controls, and the string table. Each area keeps its
// ids in its own block.
#pragma once

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
