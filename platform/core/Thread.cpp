#include "Thread.h"

#include <memory>
#include <new>
#include <system_error>
#include <thread>

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int, UINT, DWORD, void*)
{
    if (!proc) return nullptr;
    CWinThread* self = new (std::nothrow) CWinThread(proc, param);
    if (!self) return nullptr;
    try {
        // From here on the thread owns the object: it may end, and delete it, before this
        // function returns.
        std::thread([self] {
            const std::unique_ptr<CWinThread> owner(self);
            owner->m_pfnThreadProc(owner->m_pThreadParams);
        }).detach();
    } catch (const std::system_error&) {
        delete self;
        return nullptr;
    } catch (const std::bad_alloc&) {
        delete self;
        return nullptr;
    }
    return self;
}
