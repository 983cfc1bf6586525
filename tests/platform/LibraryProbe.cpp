// Loads the embedding library by name, as the program does at start-up, and says what it got.
#include "Library.h"

#include <cstdio>

int main()
{
    HMODULE module = LoadLibraryW(u"T2embed.dll");
    const bool entry = module && GetProcAddress(module, "TTEmbedFontFromFileA");
    std::puts(module ? (entry ? "loaded" : "loaded without entry") : "nothing loaded");
    return 0;
}
