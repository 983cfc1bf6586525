#include "MetaDataViewer.h"

#include <cstdio>
#include <mutex>

namespace {

// Function-local, so that a viewer installed while static objects are built finds it ready.
std::mutex& ViewerMutex()
{
    static std::mutex mutex;
    return mutex;
}

MetaDataViewer& InstalledViewer()
{
    static MetaDataViewer viewer;
    return viewer;
}

} // namespace

MetaDataViewer SetMetaDataViewer(MetaDataViewer viewer)
{
    std::lock_guard lock(ViewerMutex());
    MetaDataViewer previous = std::move(InstalledViewer());
    InstalledViewer() = std::move(viewer);
    return previous;
}

int RunMetaDataViewer(const BYTE* data, UINT length)
{
    MetaDataViewer viewer;
    {
        std::lock_guard lock(ViewerMutex());
        viewer = InstalledViewer();
    }
    if (viewer) return viewer(data, length);
    // Said where the console message boxes are said, so that a run without windows tells why
    // it stopped.
    std::fprintf(stderr, "Fenwrap: no metadata viewer to show a block of %u bytes: decoding stops\n", length);
    return IDCANCEL;
}
