// A library someone left in a folder, under the embedding library's file name: it leaves a
// mark in the current folder the moment it is loaded.
#include <fcntl.h>
#include <unistd.h>

__attribute__((constructor)) static void LeaveMark()
{
    const int fd = ::open("planted-library-ran", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
}

extern "C" __attribute__((visibility("default"))) int TTEmbedFontFromFileA() { return 0; }
