// Measures whole conversions as the user starts them ("変換開始" in the main window, run without
// a display) against the work underneath them, in one run with the sides interleaved:
//
//   encoding with WOFF, EOT and page  vs  the engine's encoder + the embedding library alone
//   the WOFF writer                   vs  the engine's encoder alone
//   decoding a WOFF 1.0 file          vs  the engine's decoder alone
//   decoding a WOFF2 file             vs  woff2_decompress
//
//   bench_conversion [font] [repeats]
//
// Prints the best time of each side and their ratio. The run is timed from the press of the
// button to its return (the window is opened before and closed after); its own share, settling
// the request, naming, asking and writing the files, is what the ratios show.
#include "CodePage.h"
#include "FenwrapApp.h"
#include "FenwrapDlg.h"
#include "HtmlView.h"
#include "MessageBox.h"
#include "WOFF.h"
#include "Writers.h"
#include "resource.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kDefaultFont = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf";

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Time(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return Seconds(Clock::now() - start);
}

bool Spawn(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 && waitpid(pid, &status, 0) == pid &&
           WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// One press of the start button on a window with these fields and boxes, answered as a user
// who says yes to every question; the time of the press alone, not of opening the window.
double RunWindow(const std::string& src, bool eot, bool page)
{
    double seconds = 0;
    CFenwrapDlg dlg(nullptr);
    AfxGetApp()->m_pMainWnd = &dlg;
    SetDialogPresenter([&](CDialog& d) -> INT_PTR {
        d.SetDlgItemText(IDC_EDIT_SRC, CString::FromUtf8(src));
        d.SetDlgItemText(IDC_EDIT_DST, u"");
        d.SendDlgItemMessage(IDC_CHECK_EOT, BM_SETCHECK, eot ? BST_CHECKED : BST_UNCHECKED);
        d.SendDlgItemMessage(IDC_CHECK_SAMPLE_HTML, BM_SETCHECK, page ? BST_CHECKED : BST_UNCHECKED);
        for (int id : {IDC_CHECK_WOFF2, IDC_CHECK_METADATA, IDC_CHECK_ADD_SRC_FONT})
            d.SendDlgItemMessage(id, BM_SETCHECK, BST_UNCHECKED);
        seconds = Time([&] { d.ClickButton(IDOK); });
        d.PressEscape();
        return IDCANCEL;
    });
    dlg.DoModal();
    SetDialogPresenter({});
    AfxGetApp()->m_pMainWnd = nullptr;
    return seconds;
}

void EncodeAlone(const std::string& font)
{
    CFile file(CString::FromUtf8(font), CFile::modeRead);
    CWOFF woff(&file, TRUE);
    woff.CheckFileType();
    CMemFile out;
    woff.EncodeWOFF(&out, nullptr, 0);
}

unsigned long Collect(void* stream, const void* data, const unsigned long size)
{
    static_cast<CMemFile*>(stream)->Write(data, static_cast<UINT>(size));
    return size;
}

void EmbedAlone(const std::string& font)
{
    CMemFile out;
    ULONG priv = 0, status = 0;
    g_pfnTTEmbedFontFromFileA(nullptr, font.c_str(), 0, TTEMBED_TTCOMPRESSED, CHARSET_UNICODE, &priv, &status, Collect,
                              &out, nullptr, 0, 0, nullptr);
}

// The decoder into memory; with target, the bytes then saved as every output is saved (whole,
// durably, replacing the target at the end).
void DecodeAlone(const std::string& woffPath, const std::string& target = "")
{
    CFile file(CString::FromUtf8(woffPath), CFile::modeRead);
    CWOFF woff(&file, FALSE);
    woff.CheckFileType();
    CMemFile out;
    woff.DecodeWOFF(&out);
    if (target.empty()) return;
    CFile saved(CString::FromUtf8(target), CFile::modeCreate | CFile::modeReadWrite);
    saved.Write(out.Data(), static_cast<UINT>(out.GetLength()));
    saved.Close();
}

struct Best {
    double a = 1e9, b = 1e9;
    void Add(double ta, double tb)
    {
        a = std::min(a, ta);
        b = std::min(b, tb);
    }
    void Print(const char* what, const char* against) const
    {
        std::printf("%-34s %8.4f s   %-40s %8.4f s   ratio %.3f\n", what, a, against, b, a / b);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const std::string font = argc > 1 ? argv[1] : kDefaultFont;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    char folderTemplate[] = "/tmp/fenwrap-bench-XXXXXX";
    const std::string folder = ::mkdtemp(folderTemplate);
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    EnableBrowserViews(false);
    SetMessageBoxPresenter([](const CString&, UINT style, UINT) { return (style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK; });

    CFenwrapApp app;
    SetThreadLocale(1041);
    g_hT2embed = LoadLibraryW(u"T2embed.dll");
    g_pfnTTEmbedFontFromFileA =
        g_hT2embed ? reinterpret_cast<PFN_TTEmbedFontFromFileA>(GetProcAddress(g_hT2embed, "TTEmbedFontFromFileA")) : nullptr;
    if (!g_pfnTTEmbedFontFromFileA) {
        std::fprintf(stderr, "bench_conversion: the embedding library does not load from beside this program\n");
        return 1;
    }

    const std::string source = folder + "/Sample.ttf";
    std::filesystem::copy_file(font, source);
    RunWindow(source, false, false);  // the WOFF that the decoding rounds read
    const std::string woff = folder + "/Decode.woff";
    std::filesystem::rename(folder + "/Sample.woff", woff);
    if (!Spawn({"/usr/bin/woff2_compress", source})) {
        std::fprintf(stderr, "bench_conversion: woff2_compress failed\n");
        return 1;
    }
    const std::string woff2 = folder + "/Decode.woff2";
    std::filesystem::rename(folder + "/Sample.woff2", woff2);
    std::filesystem::copy_file(woff2, folder + "/Tool.woff2");

    Best encode, writer, decode, decodeSaved, decode2;
    for (int i = 0; i < repeats; ++i) {
        encode.Add(RunWindow(source, true, true), Time([&] {
                       EncodeAlone(source);
                       EmbedAlone(source);
                   }));
        std::filesystem::remove(folder + "/Decode.ttf");
        writer.Add(Time([&] {
                       CFile file(CString::FromUtf8(source), CFile::modeRead);
                       CWOFF engine(&file, TRUE);
                       engine.CheckFileType();
                       WriteWOFFFile(&engine, CString::FromUtf8(folder + "/Writer.woff"), nullptr);
                   }),
                   Time([&] { EncodeAlone(source); }));
        const double run = RunWindow(woff, false, false);
        decode.Add(run, Time([&] { DecodeAlone(woff); }));
        decodeSaved.Add(run, Time([&] { DecodeAlone(woff, folder + "/Saved.ttf"); }));
        std::filesystem::remove(folder + "/Decode.ttf");
        decode2.Add(RunWindow(woff2, false, false),
                    Time([&] { Spawn({"/usr/bin/woff2_decompress", folder + "/Tool.woff2"}); }));
    }
    std::printf("%s, best of %d\n", font.c_str(), repeats);
    encode.Print("encoding run: WOFF + EOT + page", "engine encoder + embedding library");
    writer.Print("WOFF writer", "engine encoder");
    decode.Print("decoding run: WOFF 1.0", "engine decoder");
    decodeSaved.Print("decoding run: WOFF 1.0", "engine decoder + saving its output");
    decode2.Print("decoding run: WOFF2", "woff2_decompress");
    std::filesystem::remove_all(folder);
    return 0;
}
