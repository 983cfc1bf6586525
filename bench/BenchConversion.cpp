// Measures whole conversions as the user starts them ("変換開始" in the main window, run without
// a display) against the work underneath them, in one run with the sides interleaved:
//
//   encoding with WOFF, EOT and page  vs  the engine's encoder + the embedding library alone
//   the WOFF writer                   vs  the engine's encoder alone
//   decoding a WOFF 1.0 file          vs  the engine's decoder, alone and saving its output
//   decoding a WOFF2 file             vs  the woff2 library's decoder, saving its output
//
//   bench_conversion [font] [repeats]
//
// The sides are taken in interleaved pairs; each row prints the median time of each side and
// the median of the pairs' ratios with their spread (a best-of-n per side would pair a run's
// luckiest moment with another's, and could show a step that does strictly more work than its
// reference as faster than it). The run is timed from the press of the button to its return
// (the window is opened before and closed after); its own share, settling the request, naming,
// asking and writing the files, is what the ratios show, and each is held to at most a tenth
// over the work underneath it.
#include "BenchSupport.h"
#include "CodePage.h"
#include "FenwrapApp.h"
#include "FenwrapDlg.h"
#include "HtmlView.h"
#include "MessageBox.h"
#include "WOFF.h"
#include "Woff2Step.h"
#include "Writers.h"
#include "resource.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <woff2/decode.h>

namespace {

using namespace bench;

constexpr const char* kDefaultFont = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf";
constexpr double kMaxOwnShare = 1.10;

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

// The woff2 library's decoding into memory, then the font saved as every output is saved: the
// work under a WOFF2 decoding run, in this process as the run is.
void DecodeWoff2Alone(const std::string& woff2Path, const std::string& target)
{
    const std::string woff2 = ReadWholeFile(CString::FromUtf8(woff2Path));
    const auto* data = reinterpret_cast<const uint8_t*>(woff2.data());
    std::string font(woff2::ComputeWOFF2FinalSize(data, woff2.size()), '\0');
    woff2::ConvertWOFF2ToTTF(reinterpret_cast<uint8_t*>(font.data()), font.size(), data, woff2.size());
    WriteWholeFile(CString::FromUtf8(target), font);
}

// One row, and its target line when the run is held to one.
void Report(const Pairs& pairs, const char* run, const char* against, bool held = true)
{
    pairs.Print(run, against);
    if (held)
        Target(pairs.Ratio().median <= kMaxOwnShare,
               std::string(run) + " / " + against + " " + Against(pairs.Ratio(), kMaxOwnShare));
}

} // namespace

int main(int argc, char** argv)
{
    const std::string font = argc > 1 ? argv[1] : kDefaultFont;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

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
    Spawn({"/usr/bin/woff2_compress", source});
    const std::string woff2 = folder + "/Decode.woff2";
    std::filesystem::rename(folder + "/Sample.woff2", woff2);
    // Every output is saved as a new file, the run's and the references' alike.
    const std::string decoded = folder + "/Decode.ttf", saved = folder + "/Saved.ttf", written = folder + "/Writer.woff";
    const auto fresh = [](const std::string& path) { std::filesystem::remove(path); };

    Pairs encode, writer, decode, decodeSaved, decode2;
    for (int i = 0; i < repeats; ++i) {
        encode.Add(RunWindow(source, true, true), Time([&] {
                       EncodeAlone(source);
                       EmbedAlone(source);
                   }));
        fresh(written);
        writer.Add(Time([&] {
                       CFile file(CString::FromUtf8(source), CFile::modeRead);
                       CWOFF engine(&file, TRUE);
                       engine.CheckFileType();
                       WriteWOFFFile(&engine, CString::FromUtf8(written), nullptr);
                   }),
                   Time([&] { EncodeAlone(source); }));
        fresh(decoded);
        const double run = RunWindow(woff, false, false);
        decode.Add(run, Time([&] { DecodeAlone(woff); }));
        fresh(decoded);
        fresh(saved);
        decodeSaved.Add(RunWindow(woff, false, false), Time([&] { DecodeAlone(woff, saved); }));
        fresh(decoded);
        fresh(saved);
        decode2.Add(RunWindow(woff2, false, false), Time([&] { DecodeWoff2Alone(woff2, saved); }));
    }
    std::printf("%s, %d pairs each, interleaved; medians, [smallest–largest] ratio\n", font.c_str(), repeats);
    Report(encode, "encoding run: WOFF + EOT + page", "engine encoder + embedding library");
    Report(writer, "WOFF writer", "engine encoder");
    // The run saves its font and the decoder alone does not: a row to read, not to hold.
    Report(decode, "decoding run: WOFF 1.0", "engine decoder", false);
    Report(decodeSaved, "decoding run: WOFF 1.0", "engine decoder + saving its output");
    Report(decode2, "decoding run: WOFF2", "woff2 library + saving its output");
    std::filesystem::remove_all(folder);
    return 0;
}
