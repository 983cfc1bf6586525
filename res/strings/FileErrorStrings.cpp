// Strings of the file error messages: the cause texts and the two message templates.
#include "StringTable.h"
#include "resource.h"

namespace {

const StringTableEntries kFileErrors{
    {IDS_FILE_NOTFOUND, u"ファイルが見つからない"},
    {IDS_FILE_BADPATH, u"不正パス"},
    {IDS_FILE_TOOMANYOPEN, u"オープン ファイル数超過"},
    {IDS_FILE_ACCESSDENIED, u"ファイル アクセス禁止"},
    {IDS_FILE_INVALIDFILE, u"不正ファイル ハンドル使用"},
    {IDS_FILE_REMOVECURRENTDIR, u"作業中のカレント ディレクトリの削除不可"},
    {IDS_FILE_DIRECTORYFULL, u"ディレクトリ フル"},
    {IDS_FILE_BADSEEK, u"ファイル ポインタ設定エラー"},
    {IDS_FILE_HARDIO, u"ハードウェア エラー"},
    {IDS_FILE_SHARINGVIOLATION, u"他のプログラムで使用中"},
    {IDS_FILE_LOCKVIOLATION, u"ロック済み領域のロック要求"},
    {IDS_FILE_DISKFULL, u"ディスクの空き容量が足りない"},
    {IDS_FILE_ENDOFFILE, u"ファイルの終わりに到達"},
    {IDS_FILE_NOERROR, u"エラーなし"},
    {IDS_FILE_GENERIC, u"未定義エラー"},
    {IDS_FILE_OPEN_FAILED, u"ファイル%1のオープンに失敗しました。\n原因：%2"},
    {IDS_FILE_WRITE_FAILED, u"ファイル%1の書き込みに失敗しました。\n原因：%2"},
};

} // namespace
