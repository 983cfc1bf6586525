#include "FuzzSupport.h"

#include "MessageBox.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace fuzz {

namespace {

std::set<std::u16string>& Allowed()
{
    // The messages any reader of the engine may show for a damaged input.
    static std::set<std::u16string> allowed = {
        u"リードエラーが発生しました",
        u"フォントファイルが壊れています。",
        u"WOFFファイルが壊れています。",
        u"圧縮に失敗しました。",
        u"解凍に失敗しました。",
        u"メタデータの展開に失敗しました。",
    };
    return allowed;
}

size_t g_boxes = 0;

} // namespace

void AllowMessage(const char16_t* text)
{
    Allowed().insert(text);
}

void AnswerMessageBoxes()
{
    static const bool installed = [] {
        SetMessageBoxPresenter([](const CString& text, UINT style, UINT) {
            if (!Allowed().count(text.Str())) {
                std::fprintf(stderr, "unexpected message box: %s\n", text.ToUtf8().c_str());
                std::abort();
            }
            ++g_boxes;
            const UINT type = style & MB_TYPEMASK;
            return (type == MB_YESNO || type == MB_YESNOCANCEL) ? IDYES : IDOK;
        });
        return true;
    }();
    (void)installed;
}

size_t BoxesShown()
{
    return g_boxes;
}

InputFile::InputFile(const uint8_t* data, size_t size)
{
    if (size > 0) m_file.Write(data, static_cast<UINT>(size));
    m_file.Seek(0, CFile::begin);
}

uint8_t Chooser::Byte()
{
    if (m_size == 0) return 0;
    const uint8_t b = *m_data;
    ++m_data;
    --m_size;
    return b;
}

uint32_t Chooser::Bits32()
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
}

void Fail(const char* text)
{
    std::fprintf(stderr, "fuzz: %s\n", text);
    std::abort();
}

} // namespace fuzz
