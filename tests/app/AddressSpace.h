// Takes address space away from this process, for tests of what happens when memory runs out:
// each such test runs in a process of its own (a death test), so that no other test's thread
// stack or buffer stands in the way.
#pragma once

#include <fstream>
#include <string>
#include <sys/resource.h>

// The address space this process may still grow by.
inline void LimitAddressSpace(rlim_t headroom)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    rlim_t kb = 0;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) kb = std::stoull(line.substr(7));
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = kb * 1024 + headroom;
    setrlimit(RLIMIT_AS, &limit);
}

inline void LiftAddressSpaceLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_AS, &limit);
}
