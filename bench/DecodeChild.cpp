// One WOFF decoding as the program runs it (open, check, decode, write the font file), in a
// process of its own, for bench_decode to time and to measure the peak memory of beside the
// reference decoder. It links the engine without the window toolkit, so that process start-up
// compares like with like: the WOFF it is given has no metadata block, so no viewer, which the
// program would install, is needed.
//
//   bench_decode_child <woff> <font>
#include "WOFF.h"

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    CFile file;
    if (!file.Open(CString::FromUtf8(argv[1]), CFile::modeRead)) return 1;
    CWOFF woff(&file, FALSE);
    CMemFile out;
    if (!woff.CheckFileType() || !woff.DecodeWOFF(&out)) return 1;
    CFile font(CString::FromUtf8(argv[2]), CFile::modeCreate | CFile::modeWrite);
    font.Write(out.Data(), static_cast<UINT>(out.GetLength()));
    font.Close();
    return 0;
}
