// The engine's suites meet the metadata viewer as the program does: the application's dialog,
// installed before any test runs and answered by each test's dialog responder.
#include "MetaDataDlg.h"

namespace {

const bool g_viewerInstalled = (InstallMetaDataViewer(), true);

} // namespace
