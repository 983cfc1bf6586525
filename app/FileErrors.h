// File errors in the program's own words: a failed open or write becomes a Japanese message
// box naming the file and the cause.
#pragma once

#include "Exceptions.h"
#include "String.h"

// Replaces text with the cause's text from the string table; unknown causes (negative ones
// included) read as the generic one. If the string is missing, text keeps what it held.
void GetFileExceptionCauseText(int cause, CString& text);
void ReportFileOpenError(CFileException* e);
void ReportFileWriteError(CFileException* e);

// Makes a file exception that no handler caught speak with the same cause texts.
void InstallFileExceptionTexts();
