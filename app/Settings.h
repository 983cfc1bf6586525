// The seven remembered options of the main dialog live as single values under one key of the
// current user's registry; each function opens the key anew, does one value and closes it.
#pragma once

#include "String.h"
#include "Types.h"

BOOL SetRegDWORD(LPCTSTR valueName, DWORD value);
// dword is written only when the value could be read.
BOOL GetRegDWORD(LPCTSTR valueName, DWORD* dword);
BOOL SetRegString(LPCTSTR valueName, const CString& value);
// value is changed only when the key opened and the value exists.
BOOL GetRegString(LPCTSTR valueName, CString& value);
