// Dialog 100: the about box, and the settings of its link to the maker's web site.
#include "DialogTemplate.h"
#include "MakerSite.h"
#include "Shell.h"
#include "Types.h"
#include "resource.h"

namespace {

const DialogTemplateEntry kAbout(IDD_ABOUTBOX, {
    .caption = u"バージョン情報",
    .cx = 235,
    .cy = 66,
    .font = {u"MS UI Gothic", 9, 400, 1},
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .controls = {
        // An icon control's text names its icon resource.
        {-1, ControlKind::Icon, u"128", 11, 17, 20, 20},
        {-1, ControlKind::Label, u"Fenwrap Version 3.2.0", 40, 10, 119, 8, SS_LEFT | SS_NOPREFIX | WS_GROUP},
        {IDOK, ControlKind::DefPushButton, u"OK", 178, 7, 50, 16, WS_GROUP | WS_TABSTOP},
        {IDC_LINK_MAKER, ControlKind::Link, kMakerSiteText, 40, 42, 66, 14, WS_TABSTOP},
    }});

const LinkSettingsEntry kAboutLink(IDD_ABOUTBOX, IDC_LINK_MAKER, {kMakerSiteUrl, u"", u"Orvisto ホームページ", false});

} // namespace
