// The metadata viewer on an arbitrary block: the text decoding alone, checked against a
// decoding of our own cut at its first NUL, and the whole dialog run without a display and
// answered "変換開始", whose field must show that text. The input is the block.
#include "Dialog.h"
#include "FuzzSupport.h"
#include "MetaDataDlg.h"

#include <string>
#include <string_view>

namespace {

std::u16string Utf16(const uint8_t* data, size_t size, bool bigEndian)
{
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t lo = data[2 * i + (bigEndian ? 1 : 0)];
        const uint8_t hi = data[2 * i + (bigEndian ? 0 : 1)];
        text[i] = static_cast<char16_t>(lo | (hi << 8));
    }
    return text;
}

std::u16string UpToNul(const std::u16string& text)
{
    return text.substr(0, text.find(u'\0'));
}

void CheckDecoding(const uint8_t* data, size_t size, const std::u16string& text)
{
    if (size < 2) {
        fuzz::Check(text.empty(), "text from fewer than two bytes");
        return;
    }
    fuzz::Check(text.find(u'\0') == std::u16string::npos, "text goes on past a NUL");
    const uint8_t b0 = data[0], b1 = data[1];
    if (b0 == 0xFF && b1 == 0xFE) return fuzz::Check(text == UpToNul(Utf16(data, size, false)), "UTF-16LE with mark misread");
    if ((b0 == 0xFE && b1 == 0xFF) || b0 == 0) return fuzz::Check(text == UpToNul(Utf16(data, size, true)), "UTF-16BE misread");
    if (b1 == 0) return fuzz::Check(text == UpToNul(Utf16(data, size, false)), "UTF-16LE misread");
    std::u16string expected;
    if (fuzz::StrictUtf8(data, size, expected))
        fuzz::Check(text == UpToNul(expected), "valid UTF-8 misread");
    else
        fuzz::Check(text.size() <= std::string_view(reinterpret_cast<const char*>(data), size).find('\0'),
                    "more units than bytes before the NUL from UTF-8");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::AnswerMessageBoxes();
    // The block is handed over as its own allocation, so that any read past it is caught.
    const std::vector<BYTE> block(data, data + size);
    const std::u16string text = fuzz::Guarded([&] { return DecodeMetaDataText(block.data(), static_cast<UINT>(size)).Str(); });
    CheckDecoding(data, size, text);

    // The field is read while the dialog is open: its windows go with it.
    static std::u16string shown;
    static const bool presenterInstalled = [] {
        SetDialogPresenter([](CDialog& dialog) -> INT_PTR {
            CString fieldText;
            dialog.GetDlgItem(IDC_EDIT_METADATA)->GetWindowText(fieldText);
            shown = fieldText.Str();
            dialog.ClickButton(IDOK);
            return IDOK;
        });
        return true;
    }();
    (void)presenterInstalled;
    shown.clear();
    const INT_PTR result = fuzz::Guarded([&] {
        CMetaDataDlg viewer(nullptr);
        viewer.m_pMetaData = block.data();
        viewer.m_nMetaDataLength = static_cast<UINT>(size);
        return viewer.DoModal();
    });
    fuzz::Check(result == IDOK, "the viewer did not end with its start button");
    fuzz::Check(shown == text, "the field shows other than the decoded text");
    return 0;
}
