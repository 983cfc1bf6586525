// Strings of the main window and the class library's help message.
#include "StringTable.h"
#include "resource.h"

namespace {

const StringTableEntries kAppStrings{
    {IDS_ABOUTBOX, u"バージョン情報(&A)..."},
    {61703, u"Failed to launch help."},  // the class library's own message, AFX_IDP_FAILED_TO_LAUNCH_HELP
};

} // namespace
