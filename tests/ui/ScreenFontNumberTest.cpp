// The collection font picker as a real window on the offscreen platform: the real collections'
// names in a Japanese face, the template's layout, a double click, the keys, and a damaged
// collection that closes the window by itself.
#include "Builders.h"
#include "FontNumberDlg.h"
#include "ScreenSupport.h"
#include "TestFonts.h"
#include "WinApp.h"

#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace enginetest;

namespace {

// The program serves the help command, so the picker shows its help button as it does there.
struct HelpApp : CWinApp {
    const MessageMap* GetMessageMap() const override
    {
        static const MessageMapEntry entries[] = {ON_COMMAND(ID_HELP, &CWinApp::OnHelp){0, 0, 0, 0, nullptr}};
        static const MessageMap map{nullptr, entries};
        return &map;
    }
};

struct Result {
    INT_PTR result = -1;
    int fontIndex = -2;
};

// Opens the picker on the collection in file as the conversion does; user acts on its window.
Result ShowPicker(CFile& file, std::function<void(QWidget*)> user)
{
    CWOFF woff(&file, TRUE);
    EXPECT_TRUE(woff.CheckFileType());
    woff.ReadTTCHeader(&file);
    CFontNumberDlg dlg;
    dlg.m_pWOFF = &woff;
    WhenModalShown(std::move(user));
    const INT_PTR result = dlg.DoModal();
    return {result, dlg.m_nFontIndex};
}

Result ShowPicker(const std::string& path, std::function<void(QWidget*)> user)
{
    CFile file;
    EXPECT_TRUE(file.Open(CString::FromUtf8(path), CFile::modeRead));
    return ShowPicker(file, std::move(user));
}

QListWidget* List(QWidget* w) { return w->findChild<QListWidget*>(); }

// Dialog units to pixels with the stand-in font's base units, as the layer maps templates.
struct Units {
    explicit Units(QWidget* dialog)
    {
        const QFontMetrics m(dialog->font());
        bx = (m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
        by = m.height();
    }
    QRect Rect(int x, int y, int cx, int cy) const
    {
        return QRect(QPoint(X(x), Y(y)), QPoint(X(x + cx) - 1, Y(y + cy) - 1));
    }
    int X(int units) const { return (units * bx + 2) / 4; }
    int Y(int units) const { return (units * by + 4) / 8; }
    int bx, by;
};

} // namespace

TEST(ScreenFontNumber, ListsTheCjkCollectionWhereTheTemplatePutsIt)
{
    if (!testfonts::Exists(testfonts::kCffCollection)) GTEST_SKIP() << "Noto Sans CJK is not installed";
    HelpApp app;
    QStringList rows;
    int current = -2;
    const Result r = ShowPicker(testfonts::kCffCollection, [&](QWidget* w) {
        QTest::qWait(50);
        EXPECT_TRUE(w->grab().save(ScreenshotPath("font-picker-noto-cjk.png")));
        QListWidget* list = List(w);
        ASSERT_NE(list, nullptr);
        for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
        current = list->currentRow();
        EXPECT_FALSE(list->isSortingEnabled());
        EXPECT_EQ(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
        EXPECT_EQ(QApplication::focusWidget(), list) << "the list takes the focus first";

        const Units u(w);
        EXPECT_EQ(w->windowTitle(), QString::fromUtf16(u"フォントの指定"));
        EXPECT_EQ(w->size(), QSize(u.X(195), u.Y(109)));
        EXPECT_EQ(list->geometry(), u.Rect(11, 38, 173, 45));
        EXPECT_EQ(FindButton(w, u"OK")->geometry(), u.Rect(11, 88, 50, 14));
        EXPECT_EQ(FindButton(w, u"キャンセル")->geometry(), u.Rect(72, 88, 50, 14));
        QAbstractButton* help = FindButton(w, u"ヘルプ(&H)");
        EXPECT_EQ(help->geometry(), u.Rect(133, 86, 50, 16));
        EXPECT_TRUE(help->isVisible());
        EXPECT_TRUE(qobject_cast<QPushButton*>(FindButton(w, u"OK"))->isDefault());
        auto* label = w->findChild<QLabel*>();
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->geometry(), u.Rect(7, 15, 179, 30));
        EXPECT_EQ(label->text(), QString::fromUtf16(u"選択されたファイルには、複数のフォントが含まれています。\nフォントを指定してください。"));
        for (QWidget* shown : {static_cast<QWidget*>(list), static_cast<QWidget*>(label), static_cast<QWidget*>(help)})
            EXPECT_EQ(QFontInfo(shown->font()).family(), QStringLiteral("IPAPGothic"));
        QTest::keyClick(w, Qt::Key_Escape);
    });
    EXPECT_EQ(r.result, IDCANCEL);
    EXPECT_EQ(r.fontIndex, -1);
    EXPECT_EQ(current, 0);
    ASSERT_EQ(rows.size(), 10);
    EXPECT_EQ(rows[0], QStringLiteral("Noto Sans CJK JP"));
    EXPECT_EQ(rows[9], QStringLiteral("Noto Sans Mono CJK HK"));
}

TEST(ScreenFontNumber, ShowsKanjiNamesInAJapaneseFace)
{
    if (!testfonts::Exists(testfonts::kTrueTypeCollection)) GTEST_SKIP() << "WenQuanYi Zen Hei is not installed";
    QStringList rows;
    QString family;
    const Result r = ShowPicker(testfonts::kTrueTypeCollection, [&](QWidget* w) {
        QTest::qWait(50);
        EXPECT_TRUE(w->grab().save(ScreenshotPath("font-picker-wqy.png")));
        QListWidget* list = List(w);
        for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
        family = QFontInfo(list->font()).family();
        QTest::keyClick(w, Qt::Key_Return);
    });
    EXPECT_EQ(r.result, IDOK);
    EXPECT_EQ(r.fontIndex, 0);
    // Traditional Chinese names come first in the font; the characters they share with
    // Japanese are kept.
    EXPECT_EQ(rows, QStringList({QString::fromUtf16(u"文泉驛正黑"), QString::fromUtf16(u"文泉驛等寬正黑"),
                                 QString::fromUtf16(u"文泉驛點陣正黑")}));
    EXPECT_EQ(family, QStringLiteral("IPAPGothic")) << "kanji in a Japanese face, never a Chinese one";
}

TEST(ScreenFontNumber, MouseAndKeysChooseAsOnTheDesktop)
{
    const std::string path = testfonts::kTrueTypeCollection;
    if (!testfonts::Exists(path)) GTEST_SKIP() << "WenQuanYi Zen Hei is not installed";
    struct Case {
        const char* name;
        std::function<void(QWidget*)> user;
        INT_PTR result;
        int fontIndex;
    };
    const Case cases[] = {
        {"double click on the third",
         [](QWidget* w) {
             QListWidget* list = List(w);
             // Through the window, so that the toolkit sees the press and release before the
             // double click, as it does from a real mouse.
             const QPoint at = list->viewport()->mapTo(w, list->visualItemRect(list->item(2)).center());
             QTest::mouseDClick(w->windowHandle(), Qt::LeftButton, {}, at);
         },
         IDOK, 2},
        {"Down, Down, Enter",
         [](QWidget* w) {
             QTest::keyClick(List(w), Qt::Key_Down);
             QTest::keyClick(List(w), Qt::Key_Down);
             QTest::keyClick(List(w), Qt::Key_Return);
         },
         IDOK, 2},
        {"Esc after a choice", [](QWidget* w) { QTest::keyClick(List(w), Qt::Key_Down); QTest::keyClick(w, Qt::Key_Escape); }, IDCANCEL, -1},
        {"the close box", [](QWidget* w) { w->close(); }, IDCANCEL, -1},
    };
    for (const Case& c : cases) {
        const Result r = ShowPicker(path, c.user);
        EXPECT_EQ(r.result, c.result) << c.name;
        EXPECT_EQ(r.fontIndex, c.fontIndex) << c.name;
    }
}

TEST(ScreenFontNumber, DamagedMemberShowsTheMessageThenTheWindowClosesByItself)
{
    const std::vector<Table> member = {{"head", Repeated(54, 1)}, {"name", Repeated(40, 0)}};
    Bytes collection = BuildCollection({member, member});
    // The second member's last table runs past the end of the file.
    const size_t lengthField = testfonts::Be32(collection, 16) + 12 + 16 + 12;
    collection[lengthField] = 0x7F;
    auto file = MemFile(collection);

    QString message;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool pickerSeen = false;
    // Should the window stay open, it is closed here so that the failure shows instead of a hang.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            pickerSeen = true;
            modal->close();
        }
    });
    const Result r = ShowPicker(*file, [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr) << "the message comes before the picker shows";
        message = box->text();
        icon = box->icon();
        QTest::keyClick(box, Qt::Key_Return);
        guard.start(3000);
    });
    EXPECT_EQ(message, QString::fromUtf16(u"ファイルが壊れている可能性があります。"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(r.result, IDCANCEL);
    EXPECT_EQ(r.fontIndex, -1);
    EXPECT_FALSE(pickerSeen) << "the picker stayed open after the message";
}
