// Locations of the real fonts the tests use, small file helpers, and a way to run the
// independent tools that check our outputs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testfonts {

using Bytes = std::vector<std::uint8_t>;

// Paths of fonts installed by the set-up script.
inline constexpr const char* kSmallTrueType = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline constexpr const char* kLiberation = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";
inline constexpr const char* kCffOtf = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";
inline constexpr const char* kLargeCjkTrueType = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf";
inline constexpr const char* kIpaexGothic = "/usr/share/fonts/opentype/ipaexfont-gothic/ipaexg.ttf";
inline constexpr const char* kTrueTypeCollection = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc";
inline constexpr const char* kCffCollection = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
inline constexpr const char* kDsigTrueType = "/usr/share/fonts/truetype/noto/NotoSansMono-Regular.ttf";
inline constexpr const char* kDsigCff = "/usr/share/fonts/opentype/inter/Inter-Regular.otf";

bool Exists(const std::string& path);
Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& data);

// A fresh, empty folder for one test, removed by the caller's TempDir object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

struct ToolResult {
    int exitCode;
    std::string output;  // standard output and standard error together
};
// Runs a shell command line and collects what it printed.
ToolResult Run(const std::string& commandLine);
// Quotes a path for a shell command line.
std::string Quote(const std::string& text);

// While it lives, no file this process writes grows past bytes: a write there fails as on a
// full disk (the signal that would end the process is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long m_savedCurrent;
    void (*m_savedHandler)(int);
};

// Big-endian readers for assertions on output bytes.
std::uint32_t Be32(const Bytes& data, size_t offset);
std::uint16_t Be16(const Bytes& data, size_t offset);

} // namespace testfonts
