// Threads started the way the program expects: a procedure and one argument, running at once
// on a thread of its own that nothing joins.
#pragma once

#include "Exceptions.h"
#include "Types.h"

using AFX_THREADPROC = UINT (*)(LPVOID);

inline constexpr int THREAD_PRIORITY_NORMAL = 0;

// The object that stands for a running thread. It deletes itself when its thread ends, so a
// caller that keeps the pointer may use it only while it knows the thread still runs.
class CWinThread : public CObject {
public:
    CWinThread(AFX_THREADPROC proc, LPVOID param) : m_pfnThreadProc(proc), m_pThreadParams(param) {}

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Starts proc(param) on a new thread. Priority, stack size, creation flags and security are
// accepted for the program's sake and not applied: every thread runs at the process's priority
// on the system's default stack. Returns nullptr when the thread cannot be started (no memory,
// or the system's thread limit reached); proc has then not run and will not.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0, void* security = nullptr);
