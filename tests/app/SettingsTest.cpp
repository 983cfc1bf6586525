#include "Settings.h"
#include "StoreFixture.h"

#include <vector>

namespace {

constexpr const char16_t* kKey = u"SOFTWARE\\Orvisto\\Fenwrap\\3.2.0\\Settings";

class SettingsTest : public StoreTest {
protected:
    // Stores a value as another program (or an older copy) might have left it.
    void Put(const char16_t* name, DWORD type, std::vector<BYTE> data)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    std::vector<BYTE> Raw(const char16_t* name, DWORD* type = nullptr)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
        BYTE data[512];
        DWORD size = sizeof data;
        const LSTATUS status = RegQueryValueExW(key, name, nullptr, type, data, &size);
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>{};
    }
};

TEST_F(SettingsTest, NothingIsReadBeforeTheFirstWriteAndReadingCreatesNoKey)
{
    DWORD dword = 77;
    EXPECT_FALSE(GetRegDWORD(u"bMakeWOFF2", &dword));
    EXPECT_EQ(dword, 77u);
    CString text(u"unchanged");
    EXPECT_FALSE(GetRegString(u"SampleString", text));
    EXPECT_EQ(text, u"unchanged");
    EXPECT_FALSE(testfonts::Exists(StoreFile()));
}

TEST_F(SettingsTest, NumbersAndStringsAreStoredWithTheirTypesUnderTheProgramsKey)
{
    EXPECT_TRUE(SetRegDWORD(u"bMakeWOFF2", 1));
    EXPECT_TRUE(SetRegDWORD(u"bMakeEOTFile", 0));
    EXPECT_TRUE(SetRegString(u"SampleString", CString(u"\u3042A")));
    EXPECT_TRUE(SetRegString(u"MetaDataFilePath", CString()));

    DWORD type = 0;
    EXPECT_EQ(Raw(u"bMakeWOFF2", &type), (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(Raw(u"bMakeEOTFile", &type), (std::vector<BYTE>{0, 0, 0, 0}));  // saved as 0, not deleted
    EXPECT_EQ(Raw(u"SampleString", &type), (std::vector<BYTE>{0x42, 0x30, 'A', 0, 0, 0}));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(Raw(u"MetaDataFilePath", &type), (std::vector<BYTE>{0, 0}));  // the NUL alone

    DWORD dword = 5;
    EXPECT_TRUE(GetRegDWORD(u"bMakeWOFF2", &dword));
    EXPECT_EQ(dword, 1u);
    CString text(u"old");
    EXPECT_TRUE(GetRegString(u"SampleString", text));
    EXPECT_EQ(text, u"\u3042A");
    EXPECT_TRUE(GetRegString(u"MetaDataFilePath", text));
    EXPECT_TRUE(text.IsEmpty());
}

TEST_F(SettingsTest, AStringReadsTheSameWithOrWithoutItsNul)
{
    Put(u"with", REG_SZ, {'a', 0, 'b', 0, 0, 0});
    Put(u"without", REG_SZ, {'a', 0, 'b', 0});
    Put(u"odd", REG_SZ, {'a', 0, 'b', 0, 'c'});              // a last odd byte is no character
    Put(u"inner", REG_SZ, {'a', 0, 0, 0, 'b', 0});           // stops at the first NUL
    Put(u"binary", REG_BINARY, {'x', 0});                    // the type is not looked at
    Put(u"nothing", REG_SZ, {});
    Put(u"single", REG_SZ, {'a'});
    const std::pair<const char16_t*, const char16_t*> expected[] = {
        {u"with", u"ab"}, {u"without", u"ab"}, {u"odd", u"ab"}, {u"inner", u"a"},
        {u"binary", u"x"}, {u"nothing", u""}, {u"single", u""}};
    for (const auto& [name, text] : expected) {
        CString value(u"previous");
        EXPECT_TRUE(GetRegString(name, value)) << CString(name).ToUtf8();
        EXPECT_EQ(value, text) << CString(name).ToUtf8();
    }
}

TEST_F(SettingsTest, ANumberIsReadFromAnyDataOfAtMostFourBytes)
{
    Put(u"sz", REG_SZ, {'1', 0});
    Put(u"short", REG_BINARY, {0, 1});
    Put(u"long", REG_BINARY, {1, 2, 3, 4, 5});
    Put(u"empty", REG_BINARY, {});

    DWORD dword = 0;
    EXPECT_TRUE(GetRegDWORD(u"sz", &dword));
    EXPECT_EQ(dword, 0x31u);  // any non-zero data ticks the box
    dword = 0;
    EXPECT_TRUE(GetRegDWORD(u"short", &dword));
    EXPECT_EQ(dword, 0x100u);
    dword = 0xAABBCCDD;
    EXPECT_TRUE(GetRegDWORD(u"short", &dword));
    EXPECT_EQ(dword, 0xAABB0100u);  // bytes beyond the data keep what the caller had
    dword = 9;
    EXPECT_FALSE(GetRegDWORD(u"long", &dword));
    EXPECT_EQ(dword, 9u);
    EXPECT_TRUE(GetRegDWORD(u"empty", &dword));
    EXPECT_EQ(dword, 9u);
}

TEST_F(SettingsTest, WritesFailQuietlyWhenTheStoreCannotBeMade)
{
    testfonts::WriteFile(m_dir->Path() + "/fenwrap", {'x'});
    EXPECT_FALSE(SetRegDWORD(u"bMakeWOFF2", 1));
    EXPECT_FALSE(SetRegString(u"SampleString", CString(u"x")));
}

} // namespace
