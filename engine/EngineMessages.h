// The engine's fixed messages, shown as they stand.
#pragma once

inline constexpr const char16_t* kMsgReadError = u"リードエラーが発生しました";
inline constexpr const char16_t* kMsgFontBroken = u"フォントファイルが壊れています。";
inline constexpr const char16_t* kMsgWOFFBroken = u"WOFFファイルが壊れています。";
inline constexpr const char16_t* kMsgCompressFailed = u"圧縮に失敗しました。";
inline constexpr const char16_t* kMsgUncompressFailed = u"解凍に失敗しました。";
inline constexpr const char16_t* kMsgMetaDataExpandFailed = u"メタデータの展開に失敗しました。";
