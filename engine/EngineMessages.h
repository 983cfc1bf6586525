// The engine's fixed messages, shown as they stand, and the one way an operation refuses its
// input: return Refuse(kMsgFontBroken);
#pragma once

#include "Types.h"

inline constexpr const char16_t* kMsgReadError = u"リードエラーが発生しました";
inline constexpr const char16_t* kMsgFontBroken = u"フォントファイルが壊れています。";
inline constexpr const char16_t* kMsgWOFFBroken = u"WOFFファイルが壊れています。";
inline constexpr const char16_t* kMsgCompressFailed = u"圧縮に失敗しました。";
inline constexpr const char16_t* kMsgUncompressFailed = u"解凍に失敗しました。";
inline constexpr const char16_t* kMsgMetaDataExpandFailed = u"メタデータの展開に失敗しました。";

// Shows message in the class library's default box (OK, exclamation icon) and returns FALSE.
BOOL Refuse(const char16_t* message);
