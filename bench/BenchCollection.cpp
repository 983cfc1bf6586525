// Measures the collection font picker's walk over generated worst-case collections of at most
// 16 MiB: for every member, as the picker does it, the offset table, the table directory, the
// bounds test, the name table, the choice of the full-name record (a scan of every record, twice
// when no Japanese one is there) and its conversion to Shift-JIS and back. The collection is read
// from a file on disk, as the program reads it.
//
//   bench_collection [folder [repeats]]
//
// Each shape is written to the folder (a fresh temporary one by default) and walked in a fresh
// process, as the program walks it after its start: a forked child would inherit this process's
// memory and spare the walk its page faults. The child reports the time of its walk and how far
// it got: "listed" members, and the member whose bounds test failed ("refused", -1 for none),
// where the walk ends as damage; its peak memory is its own, as GNU time measures it. The floor
// is reading the whole file once, in a fresh process too; the walks and the floors are taken in
// interleaved pairs.
#include "BenchSupport.h"
#include "CodePage.h"
#include "File.h"
#include "MessageBox.h"
#include "WOFF.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace bench;
using Bytes = std::vector<unsigned char>;

constexpr size_t kFileLimit = size_t(16) << 20;
constexpr std::uint16_t kMaxRecords = 0xFFFF;
constexpr std::uint16_t kStringLength = 512;

void Put16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<unsigned char>(v >> 8));
    b.push_back(static_cast<unsigned char>(v));
}

void Put32(Bytes& b, std::uint32_t v)
{
    Put16(b, v >> 16);
    Put16(b, v & 0xFFFF);
}

void PutTag(Bytes& b, const char* tag)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(tag[i]));
}

// A collection header naming the given member offsets.
Bytes Header(const std::vector<std::uint32_t>& offsets)
{
    Bytes b;
    PutTag(b, "ttcf");
    Put32(b, 0x00010000);
    Put32(b, static_cast<std::uint32_t>(offsets.size()));
    for (std::uint32_t o : offsets) Put32(b, o);
    return b;
}

// An offset table and a one-entry directory naming a 'name' table at nameOffset.
void PutNameOnlyFont(Bytes& b, std::uint32_t nameOffset, std::uint32_t nameLength)
{
    Put32(b, 0x00010000);
    Put16(b, 1);
    Put16(b, 16);
    Put16(b, 0);
    Put16(b, 0);
    PutTag(b, "name");
    Put32(b, 0);
    Put32(b, nameOffset);
    Put32(b, nameLength);
}

// The worst 'name' table for the picker: 65535 records of 512-byte strings (or of empty ones,
// which cost the engine as much and the file less), of which only the last is a full name the
// picker takes (English, Windows platform), so that both of its scans run to the end.
Bytes LargeNameTable(std::uint16_t stringLength = kStringLength)
{
    Bytes b;
    Put16(b, 0);
    Put16(b, kMaxRecords);
    Put16(b, 6 + 12 * kMaxRecords);
    for (std::uint32_t i = 0; i < kMaxRecords; ++i) {
        const bool last = i + 1 == kMaxRecords;
        for (std::uint32_t v : {3u, 1u, 0x409u, last ? 4u : 1u, std::uint32_t(stringLength), 0u}) Put16(b, v);
    }
    for (int i = 0; i < stringLength / 2; ++i) Put16(b, 'A' + i % 26);
    return b;
}

// A member whose name table is the large one, starting at start.
Bytes LargeMember(std::uint32_t start, std::uint16_t stringLength = kStringLength)
{
    Bytes b;
    const Bytes name = LargeNameTable(stringLength);
    PutNameOnlyFont(b, start + 28, static_cast<std::uint32_t>(name.size()));
    b.insert(b.end(), name.begin(), name.end());
    return b;
}

size_t MembersFilling(size_t rest, size_t perMember) { return (kFileLimit - 12 - rest) / perMember; }

// Members that all point at one font whose directory holds 65535 entries, each a table of the
// whole font, without a name table.
Bytes LargeDirectories()
{
    const size_t fontSize = 12 + 16 * size_t(kMaxRecords);
    const size_t members = MembersFilling(fontSize, 4);
    const std::uint32_t start = static_cast<std::uint32_t>(12 + 4 * members);
    Bytes b = Header(std::vector<std::uint32_t>(members, start));
    Put32(b, 0x00010000);
    Put16(b, kMaxRecords);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, 0);
    for (std::uint32_t i = 0; i < kMaxRecords; ++i) {
        const char tag[4] = {char('a' + i % 26), char('a' + i / 26 % 26), char('a' + i / 676 % 26), char('a' + i / 17576)};
        for (char c : tag) b.push_back(static_cast<unsigned char>(c));
        Put32(b, 0);
        Put32(b, start);
        Put32(b, static_cast<std::uint32_t>(fontSize));
    }
    return b;
}

// Members that all point at one font with the large name table: the 256 members in
// 787 KB, or as many as 16 MiB of offsets hold.
Bytes Shared(size_t members, std::uint16_t stringLength = kStringLength)
{
    const std::uint32_t start = static_cast<std::uint32_t>(12 + 4 * members);
    Bytes b = Header(std::vector<std::uint32_t>(members, start));
    const Bytes member = LargeMember(start, stringLength);
    b.insert(b.end(), member.begin(), member.end());
    return b;
}

// Two such fonts, the members alternating between them.
Bytes Alternating()
{
    const size_t memberSize = LargeMember(0).size();
    const size_t members = MembersFilling(2 * memberSize, 4);
    const std::uint32_t first = static_cast<std::uint32_t>(12 + 4 * members);
    const std::uint32_t second = static_cast<std::uint32_t>(first + memberSize);
    std::vector<std::uint32_t> offsets(members);
    for (size_t i = 0; i < members; ++i) offsets[i] = i % 2 ? second : first;
    Bytes b = Header(offsets);
    for (std::uint32_t start : {first, second}) {
        const Bytes member = LargeMember(start);
        b.insert(b.end(), member.begin(), member.end());
    }
    return b;
}

// Every member a font of its own whose name table starts 12 bytes after the previous one's,
// inside one region of 12-byte units that read as a table header (65535 records) from any unit
// and as records of 512-byte strings from every unit: name tables that all differ and overlap.
Bytes Overlapping()
{
    const size_t region = 12 * size_t(kMaxRecords) + 12 + 1024;
    const size_t members = MembersFilling(region, 4 + 28 + 12);
    const std::uint32_t fonts = static_cast<std::uint32_t>(12 + 4 * members);
    const std::uint32_t regionStart = static_cast<std::uint32_t>(fonts + 28 * members);
    std::vector<std::uint32_t> offsets(members);
    for (size_t i = 0; i < members; ++i) offsets[i] = static_cast<std::uint32_t>(fonts + 28 * i);
    Bytes b = Header(offsets);
    for (size_t i = 0; i < members; ++i)
        PutNameOnlyFont(b, static_cast<std::uint32_t>(regionStart + 12 * i), static_cast<std::uint32_t>(12 * kMaxRecords + 6));
    // As a header: format 0, count 65535, stringOffset 0. As a record: platform 0 (never
    // chosen), encoding 65535, language 0, name 1, a 512-byte string at 0.
    const size_t units = (kFileLimit - b.size()) / 12;
    for (size_t i = 0; i < units; ++i)
        for (std::uint32_t v : {0u, 0xFFFFu, 0u, 1u, std::uint32_t(kStringLength), 0u}) Put16(b, v);
    return b;
}

// As many members as the file has room for, each at its own offset in a zeroed region: each
// reads an offset table without tables. Only the cost of a member itself.
Bytes ManyMembers()
{
    const size_t members = MembersFilling(12, 5);
    const std::uint32_t region = static_cast<std::uint32_t>(12 + 4 * members);
    std::vector<std::uint32_t> offsets(members);
    for (size_t i = 0; i < members; ++i) offsets[i] = static_cast<std::uint32_t>(region + i);
    Bytes b = Header(offsets);
    b.resize(b.size() + members + 12, 0);
    return b;
}

// A plain collection of 300 fonts, each with a small name table holding its Japanese full name.
Bytes ThreeHundred()
{
    const size_t members = 300;
    std::vector<Bytes> fonts;
    std::vector<std::uint32_t> offsets;
    std::uint32_t at = static_cast<std::uint32_t>(12 + 4 * members);
    for (size_t i = 0; i < members; ++i) {
        const std::string text = "Font " + std::to_string(i);
        Bytes name;
        Put16(name, 0);
        Put16(name, 2);
        Put16(name, 6 + 24);
        for (std::uint32_t v : {1u, 0u, 0u, 4u, std::uint32_t(text.size()), 0u}) Put16(name, v);
        for (std::uint32_t v : {3u, 1u, 0x411u, 4u, std::uint32_t(2 * text.size()), std::uint32_t(text.size())}) Put16(name, v);
        name.insert(name.end(), text.begin(), text.end());
        for (char c : text) Put16(name, static_cast<unsigned char>(c));
        Bytes font;
        PutNameOnlyFont(font, at + 28, static_cast<std::uint32_t>(name.size()));
        font.insert(font.end(), name.begin(), name.end());
        while (font.size() % 4) font.push_back(0);
        offsets.push_back(at);
        at += static_cast<std::uint32_t>(font.size());
        fonts.push_back(font);
    }
    Bytes b = Header(offsets);
    for (const Bytes& f : fonts) b.insert(b.end(), f.begin(), f.end());
    return b;
}

struct Walk {
    long members = 0;        // numFonts as the engine read it
    long listed = 0;         // members listed before the walk ended
    long named = 0;          // of them, with a full name
    long refusedAt = -1;     // the member whose bounds test failed, or -1
    long boxes = 0;          // message boxes shown
    double seconds = 0;
};

// The picker's choice: the first Japanese full name on the Windows platform, else the first
// full name there in any language.
int ChooseRecord(const NameTable& table)
{
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < table.count; ++i) {
            const NameRecord& r = table.pNameRecords[i];
            if (r.platformID == 3 && r.nameID == 4 && (pass == 1 || r.languageID == 0x411)) return i;
        }
    return -1;
}

Walk WalkCollection(const std::string& path)
{
    Walk walk;
    SetMessageBoxPresenter([&walk](const CString&, UINT, UINT) {
        ++walk.boxes;
        return IDOK;
    });
    const auto start = Clock::now();
    CFile file;
    if (!file.Open(CString::FromUtf8(path.c_str()), CFile::modeRead)) return walk;
    CWOFF woff(&file, TRUE);
    if (!woff.CheckFileType() || !woff.m_bTTC) return walk;
    woff.ReadTTCHeader(&file);
    walk.members = long(woff.m_ttcHeader.numFonts);
    for (woff.m_nFontNumber = 0; DWORD(woff.m_nFontNumber) < woff.m_ttcHeader.numFonts; ++woff.m_nFontNumber) {
        woff.ReadOffsetTable(&file);
        woff.ReadTableDirectory(&file);
        if (!woff.CheckTableBounds(&file)) {
            walk.refusedAt = woff.m_nFontNumber;
            break;
        }
        woff.ReadNameTable(&file);
        ++walk.listed;
        const int chosen = woff.m_nNameIndex == -1 ? -1 : ChooseRecord(woff.m_nameTable);
        if (chosen < 0) continue;
        BYTE utf16[512];
        const WORD length = woff.m_nameTable.pNameRecords[chosen].length;
        std::memcpy(utf16, woff.m_nameTable.ppStrings[chosen], length);
        char sjis[1024];
        const int n = ConvertUTF16BEToShiftJIS(utf16, reinterpret_cast<BYTE*>(sjis), length / 2);
        sjis[std::min(n, 511)] = 0;
        char16_t text[512];
        MultiByteToWideChar(CP_THREAD_ACP, 0, sjis, -1, reinterpret_cast<LPWSTR>(text), 512);
        ++walk.named;
    }
    walk.seconds = Seconds(Clock::now() - start);
    return walk;
}

// Child mode: reads the whole file once and prints the time it took.
int ReadWholeFile(const char* path)
{
    std::vector<char> buffer(1 << 20);
    const int fd = open(path, O_RDONLY);
    if (fd < 0) return 1;
    const double seconds = Time([&] {
        while (read(fd, buffer.data(), buffer.size()) > 0) {
        }
    });
    close(fd);
    std::printf("%.6f\n", seconds);
    return 0;
}

// Child mode: walks the collection and prints what the walk gave.
int PrintWalk(const char* path)
{
    const Walk walk = WalkCollection(path);
    std::printf("%ld %ld %ld %ld %ld %.6f\n", walk.members, walk.listed, walk.named, walk.refusedAt, walk.boxes,
                walk.seconds);
    return 0;
}

// Runs a child mode in a fresh process; its printed line, and its peak memory in MB.
std::string RunFresh(const char* mode, const std::string& path, const std::string& folder, double& peakMb)
{
    const std::string report = folder + "/child.txt";
    peakMb = PeakKb({SelfPath(), mode, path}, folder, report) / 1024.0;
    std::ifstream in(report);
    std::string line;
    std::getline(in, line);
    return line;
}

struct Row {
    Walk walk;
    Pairs time;   // the walk over reading the file once
    Pairs peak;   // the walk's process over the reading one's
};

Row Measure(const std::string& path, const std::string& folder, int repeats)
{
    Row row;
    for (int i = 0; i < repeats; ++i) {
        double walkPeak = 0, readPeak = 0;
        const std::string walked = RunFresh("--walk", path, folder, walkPeak);
        const double floor = std::atof(RunFresh("--read", path, folder, readPeak).c_str());
        Walk& w = row.walk;
        if (std::sscanf(walked.c_str(), "%ld %ld %ld %ld %ld %lf", &w.members, &w.listed, &w.named, &w.refusedAt,
                        &w.boxes, &w.seconds) != 6)
            Fail("the walk failed on " + path);
        row.time.Add(w.seconds, floor);
        row.peak.Add(walkPeak, readPeak);
    }
    return row;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--walk") == 0) return PrintWalk(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--read") == 0) return ReadWholeFile(argv[2]);

    const std::string folder = argc > 1 ? argv[1] : TemporaryFolder("bench-collection");
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const struct {
        const char* name;
        std::function<Bytes()> make;
    } shapes[] = {
        {"256 members, one 65535-record name table", [] { return Shared(256); }},
        {"shared: every member one 65535-record name table", [] { return Shared(MembersFilling(LargeMember(0).size(), 4)); }},
        {"shared, empty strings", [] { return Shared(MembersFilling(LargeMember(0, 0).size(), 4), 0); }},
        {"alternating: two 65535-record name tables", Alternating},
        {"overlapping: a name table of 65535 records per member", Overlapping},
        {"many members: the most offsets, no tables", ManyMembers},
        {"directories: every member one 65535-entry directory", LargeDirectories},
        {"300 members with their own names", ThreeHundred},
    };
    std::printf("walks in fresh processes, %d pairs each, interleaved with a fresh process reading the file once;\n"
                "medians, [smallest–largest] ratio\n\n", repeats);
    double slowest = 0;
    const char* slowestName = "";
    for (const auto& shape : shapes) {
        const Bytes bytes = shape.make();
        const std::string path = folder + "/walk.ttc";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        const Row row = Measure(path, folder, repeats);
        std::printf("%s: %.2f MiB, %ld members, %ld listed, refused at %ld\n", shape.name, bytes.size() / 1048576.0,
                    row.walk.members, row.walk.listed, row.walk.refusedAt);
        row.time.Print("walk", "reading the file once");
        row.peak.Print("walk: peak", "reading the file once: peak", "MB");
        if (row.time.A().median > slowest) {
            slowest = row.time.A().median;
            slowestName = shape.name;
        }
        std::filesystem::remove(path);
    }
    std::filesystem::remove(folder + "/child.txt");
    std::filesystem::remove(folder + "/peak-kb");
    if (argc <= 1) std::filesystem::remove(folder);
    char text[256];
    std::snprintf(text, sizeof text, "every collection of at most 16 MiB walked in under 0.5 s: the slowest, %s, median %.3f s",
                  slowestName, slowest);
    std::printf("\n");
    Target(slowest < 0.5, text);
    return 0;
}
