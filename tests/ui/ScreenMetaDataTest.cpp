#include "MetaDataDlg.h"
#include "ScreenSupport.h"

#include <QPushButton>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

TEST(ScreenMetaData, Screenshot)
{
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<metadata version=\"1.0\">\r\n\t<uniqueid id=\"jp.example.font.1\"/>\r\n"
        "\t<description>\r\n\t\t<text lang=\"ja\">日本語のフォント。骨・直・角・化・海・画</text>\r\n\t</description>\r\n</metadata>\r\n";
    CMetaDataDlg dlg(nullptr);
    dlg.m_pMetaData = reinterpret_cast<const BYTE*>(xml.data());
    dlg.m_nMetaDataLength = static_cast<UINT>(xml.size());
    WhenModalShown([](QWidget* w) {
        QTest::qWait(50);
        w->grab().save(QString::fromStdString(ScreenshotPath("metadata-viewer.png")));
        QTest::keyClick(w, Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}
