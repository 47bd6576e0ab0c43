// Registry helpers on the real registry of the Wine prefix, below a key of
// this test's own that is removed at the end.
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char TEST_KEY[] = "Software\\SetupTests\\Platform";

std::string Key(const char* pszSub)
{
    return std::string(TEST_KEY) + "\\" + pszSub;
}

bool KeyIsPresent(const std::string& key)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

// A value as the registry holds it, read without the helpers.
struct RawValue {
    LONG lResult = ERROR_SUCCESS;
    DWORD dwType = REG_NONE;
    std::vector<BYTE> data;
};

RawValue ReadRaw(const std::string& key, const char* pszName)
{
    RawValue value;
    HKEY hKey = nullptr;
    value.lResult = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &hKey);
    if (value.lResult != ERROR_SUCCESS)
        return value;
    DWORD cbData = 0;
    value.lResult = RegQueryValueExA(hKey, pszName, nullptr, &value.dwType, nullptr, &cbData);
    if (value.lResult == ERROR_SUCCESS) {
        value.data.resize(cbData);
        value.lResult = RegQueryValueExA(hKey, pszName, nullptr, &value.dwType, value.data.data(),
                                         &cbData);
        value.data.resize(cbData);
    }
    RegCloseKey(hKey);
    return value;
}

void WriteRaw(const std::string& key, const char* pszName, DWORD dwType, const void* pData,
              DWORD cbData)
{
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
    LONG lResult = RegSetValueExA(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData);
    RegCloseKey(hKey);
    ASSERT_EQ(ERROR_SUCCESS, lResult) << "cannot write the raw value " << pszName;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (KeyIsPresent(TEST_KEY))
            DeleteRegKeyTree(HKEY_LOCAL_MACHINE, TEST_KEY);
        ASSERT_FALSE(KeyIsPresent(TEST_KEY)) << "a key left by an earlier run cannot be removed";
    }

    void TearDown() override
    {
        if (KeyIsPresent(TEST_KEY)) {
            EXPECT_EQ(ERROR_SUCCESS, DeleteRegKeyTree(HKEY_LOCAL_MACHINE, TEST_KEY));
        }
        EXPECT_FALSE(KeyIsPresent(TEST_KEY)) << "the test key must be gone at the end";
    }
};

TEST_F(RegistryTest, SetStringCreatesMissingParentsAndStoresTheZero)
{
    std::string key = Key("New\\Deeper\\Deepest");
    EXPECT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Name", "value"));
    RawValue value = ReadRaw(key, "Name");
    ASSERT_EQ(ERROR_SUCCESS, value.lResult);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.dwType);
    EXPECT_EQ((std::vector<BYTE>{'v', 'a', 'l', 'u', 'e', 0}), value.data)
        << "the terminating zero is part of the stored data";

    EXPECT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Name", "new"));
    CString text;
    EXPECT_EQ(ERROR_SUCCESS, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Name", text));
    EXPECT_STREQ("new", text) << "an existing value is overwritten";
}

TEST_F(RegistryTest, DefaultValueAndEmptyText)
{
    std::string key = Key("Default");
    EXPECT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, "standard"));
    EXPECT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Empty", ""));
    CString text("unchanged");
    EXPECT_EQ(ERROR_SUCCESS, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "", text));
    EXPECT_STREQ("standard", text);
    EXPECT_EQ(ERROR_SUCCESS, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Empty", text));
    EXPECT_STREQ("", text);
}

TEST_F(RegistryTest, CreateKeyAndExistence)
{
    std::string key = Key("Made\\Below");
    SetLastError(0);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegKeyExists(HKEY_LOCAL_MACHINE, key.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError())
        << "the code should also be the last-error value";

    EXPECT_EQ(ERROR_SUCCESS, CreateRegKey(HKEY_LOCAL_MACHINE, key.c_str()));
    EXPECT_EQ(ERROR_SUCCESS, CreateRegKey(HKEY_LOCAL_MACHINE, key.c_str())) << "present is fine";
    EXPECT_EQ(ERROR_SUCCESS, RegKeyExists(HKEY_LOCAL_MACHINE, key.c_str()));
    EXPECT_TRUE(KeyIsPresent(key));
}

TEST_F(RegistryTest, DeleteTreeRemovesNestedKeys)
{
    ASSERT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, Key("Tree\\A\\A1").c_str(), "v", "1"));
    ASSERT_EQ(ERROR_SUCCESS, SetRegDword(HKEY_LOCAL_MACHINE, Key("Tree\\A\\A2\\X").c_str(), "v", 2));
    ASSERT_EQ(ERROR_SUCCESS, CreateRegKey(HKEY_LOCAL_MACHINE, Key("Tree\\B").c_str()));
    ASSERT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, Key("Tree").c_str(), "v", "top"));
    ASSERT_EQ(ERROR_SUCCESS, CreateRegKey(HKEY_LOCAL_MACHINE, Key("Sibling").c_str()));
    // A name outside the ANSI code page, which an ANSI enumeration would
    // give back with question marks that name no key.
    std::string treeB = Key("Tree\\B");
    std::wstring wideKey = std::wstring(treeB.begin(), treeB.end()) + L"\\\x5730\x56FE";
    HKEY hWide = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, wideKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &hWide, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hWide));

    EXPECT_EQ(ERROR_SUCCESS, DeleteRegKeyTree(HKEY_LOCAL_MACHINE, Key("Tree").c_str()));
    EXPECT_FALSE(KeyIsPresent(Key("Tree")));
    EXPECT_TRUE(KeyIsPresent(Key("Sibling"))) << "only the named subtree goes";
    EXPECT_TRUE(KeyIsPresent(TEST_KEY));
}

TEST_F(RegistryTest, DeleteTreeThroughAnOpenParent)
{
    // The longest key name there is: the enumeration buffer must hold it.
    std::string longName(255, 'L');
    ASSERT_EQ(ERROR_SUCCESS, CreateRegKey(HKEY_LOCAL_MACHINE, Key("Open\\Child").c_str()));
    HKEY hChild = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, Key("Open\\Child").c_str(), 0,
                                           KEY_ALL_ACCESS, &hChild));
    HKEY hLong = nullptr;
    LONG lLong = RegCreateKeyExA(hChild, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                 &hLong, nullptr);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hChild));
    ASSERT_EQ(ERROR_SUCCESS, lLong) << "cannot make a key with a 255-character name";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hLong));
    HKEY hParent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, Key("Open").c_str(), 0,
                                           KEY_ALL_ACCESS, &hParent));
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegKeyTree(hParent, "Child"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hParent));
    EXPECT_FALSE(KeyIsPresent(Key("Open\\Child")));
    EXPECT_TRUE(KeyIsPresent(Key("Open")));
}

TEST_F(RegistryTest, DeleteTreeOfAMissingKey)
{
    ASSERT_EQ(ERROR_SUCCESS, CreateRegKey(HKEY_LOCAL_MACHINE, TEST_KEY));
    SetLastError(0);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteRegKeyTree(HKEY_LOCAL_MACHINE, Key("Missing").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(RegistryTest, DeleteTreeRefusesToNameTheParentItself)
{
    ASSERT_EQ(ERROR_SUCCESS, CreateRegKey(HKEY_LOCAL_MACHINE, Key("Kept\\Child").c_str()));
    HKEY hKept = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, Key("Kept").c_str(), 0, KEY_ALL_ACCESS, &hKept));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, DeleteRegKeyTree(hKept, ""));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, DeleteRegKeyTree(hKept, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hKept));
    EXPECT_TRUE(KeyIsPresent(Key("Kept\\Child"))) << "an empty subkey name must delete nothing";
}

TEST_F(RegistryTest, MissingValuesAndKeys)
{
    std::string key = Key("Values");
    ASSERT_EQ(ERROR_SUCCESS, CreateRegKey(HKEY_LOCAL_MACHINE, key.c_str()));
    CString text("unchanged");
    DWORD dwValue = 0x5A5A;
    SetLastError(0);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "None", text));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_STREQ("unchanged", text) << "a missing value leaves the output as it was";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetRegDword(HKEY_LOCAL_MACHINE, key.c_str(), "None", dwValue));
    EXPECT_EQ(0x5A5Au, dwValue);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              GetRegString(HKEY_LOCAL_MACHINE, Key("NoKey").c_str(), "None", text));
    EXPECT_STREQ("unchanged", text);
}

TEST_F(RegistryTest, DeleteValue)
{
    std::string key = Key("Values");
    ASSERT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Gone", "x"));
    ASSERT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Stays", "y"));
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Gone"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRaw(key, "Gone").lResult);
    EXPECT_EQ(ERROR_SUCCESS, ReadRaw(key, "Stays").lResult);

    SetLastError(0);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Gone"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(KeyIsPresent(key)) << "deleting a missing value keeps the key";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              DeleteRegValue(HKEY_LOCAL_MACHINE, Key("NoKey").c_str(), "Gone"));
}

TEST_F(RegistryTest, InputsAtTheirLimitsAreAccepted)
{
    // 28 characters of test key, a backslash and 230 more: 259 in all.
    std::string key = Key(std::string(230, 'K').c_str());
    ASSERT_EQ(259u, key.size());
    std::string name(255, 'N');
    std::string text(259, 'T');
    EXPECT_EQ(ERROR_SUCCESS, CreateRegKey(HKEY_LOCAL_MACHINE, key.c_str()));
    EXPECT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), text.c_str()));
    CString read;
    EXPECT_EQ(ERROR_SUCCESS, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), read));
    EXPECT_STREQ(text.c_str(), read);
}

TEST_F(RegistryTest, OverLongInputsAreRefusedAndChangeNothing)
{
    std::string good = Key("Good");
    ASSERT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, good.c_str(), "Text", "kept"));
    ASSERT_EQ(ERROR_SUCCESS, SetRegDword(HKEY_LOCAL_MACHINE, good.c_str(), "Number", 17));
    std::string longKey = Key(std::string(231, 'K').c_str());
    ASSERT_EQ(260u, longKey.size());
    std::string longName(256, 'N');
    std::string longText(260, 'T');
    const LONG lRefused = ERROR_INVALID_PARAMETER;

    SetLastError(0);
    EXPECT_EQ(lRefused, CreateRegKey(HKEY_LOCAL_MACHINE, longKey.c_str()));
    EXPECT_EQ(static_cast<DWORD>(lRefused), GetLastError());
    EXPECT_EQ(lRefused, RegKeyExists(HKEY_LOCAL_MACHINE, longKey.c_str()));
    EXPECT_EQ(lRefused, DeleteRegKeyTree(HKEY_LOCAL_MACHINE, longKey.c_str()));
    EXPECT_EQ(lRefused, SetRegString(HKEY_LOCAL_MACHINE, longKey.c_str(), "Text", "x"));
    EXPECT_EQ(lRefused, SetRegDword(HKEY_LOCAL_MACHINE, longKey.c_str(), "Number", 1));
    EXPECT_FALSE(KeyIsPresent(longKey)) << "a refused key path must not be created";

    EXPECT_EQ(lRefused, SetRegString(HKEY_LOCAL_MACHINE, good.c_str(), longName.c_str(), "x"));
    EXPECT_EQ(lRefused, SetRegDword(HKEY_LOCAL_MACHINE, good.c_str(), longName.c_str(), 1));
    EXPECT_EQ(lRefused, SetRegString(HKEY_LOCAL_MACHINE, good.c_str(), "Text", longText.c_str()));
    EXPECT_EQ(lRefused, SetRegString(HKEY_LOCAL_MACHINE, good.c_str(), "Text", nullptr));
    EXPECT_EQ(lRefused, DeleteRegValue(HKEY_LOCAL_MACHINE, good.c_str(), longName.c_str()));

    CString text("unchanged");
    DWORD dwValue = 0x5A5A;
    EXPECT_EQ(lRefused, GetRegString(HKEY_LOCAL_MACHINE, longKey.c_str(), "Text", text));
    EXPECT_EQ(lRefused, GetRegString(HKEY_LOCAL_MACHINE, good.c_str(), longName.c_str(), text));
    EXPECT_EQ(lRefused, GetRegDword(HKEY_LOCAL_MACHINE, good.c_str(), longName.c_str(), dwValue));
    EXPECT_STREQ("unchanged", text);
    EXPECT_EQ(0x5A5Au, dwValue);

    EXPECT_EQ(ERROR_SUCCESS, GetRegString(HKEY_LOCAL_MACHINE, good.c_str(), "Text", text));
    EXPECT_STREQ("kept", text) << "a refused write must leave the old value";
    EXPECT_EQ(ERROR_SUCCESS, GetRegDword(HKEY_LOCAL_MACHINE, good.c_str(), "Number", dwValue));
    EXPECT_EQ(17u, dwValue);
}

TEST_F(RegistryTest, StringEndsWhereItsDataEnds)
{
    std::string key = Key("Raw");
    WriteRaw(key, "Bare", REG_SZ, "abc", 3);
    WriteRaw(key, "Inner", REG_SZ, "ab\0cd", 6);
    WriteRaw(key, "Expand", REG_EXPAND_SZ, "%TEMP%\\x", 9);
    CString text;
    EXPECT_EQ(ERROR_SUCCESS, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Bare", text));
    EXPECT_STREQ("abc", text) << "no bytes past the data of a string stored without its zero";
    EXPECT_EQ(3, text.GetLength());
    EXPECT_EQ(ERROR_SUCCESS, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Inner", text));
    EXPECT_STREQ("ab", text) << "the text ends at its first zero";
    EXPECT_EQ(ERROR_SUCCESS, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Expand", text));
    EXPECT_STREQ("%TEMP%\\x", text) << "an expandable string is read as it is stored";
}

TEST_F(RegistryTest, OtherTypesAreNotText)
{
    std::string key = Key("Raw");
    DWORD dwFour = 0x00636261;
    WriteRaw(key, "Binary", REG_BINARY, "abc", 4);
    WriteRaw(key, "Dword", REG_DWORD, &dwFour, sizeof(dwFour));
    WriteRaw(key, "Multi", REG_MULTI_SZ, "a\0b\0", 5);
    CString text("unchanged");
    for (const char* pszName : {"Binary", "Dword", "Multi"}) {
        SetLastError(0);
        EXPECT_EQ(ERROR_INVALID_DATATYPE, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), pszName, text))
            << pszName << " is no string value";
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATATYPE), GetLastError());
    }
    EXPECT_STREQ("unchanged", text);
}

TEST_F(RegistryTest, StringReadLimitIs516Bytes)
{
    std::string key = Key("Raw");
    std::string fits(515, 'F');
    std::string tooLong(516, 'L');
    WriteRaw(key, "Fits", REG_SZ, fits.c_str(), 516);
    WriteRaw(key, "TooLong", REG_SZ, tooLong.c_str(), 517);
    CString text;
    EXPECT_EQ(ERROR_SUCCESS, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Fits", text));
    EXPECT_STREQ(fits.c_str(), text);

    text = "unchanged";
    SetLastError(0);
    EXPECT_EQ(ERROR_MORE_DATA, GetRegString(HKEY_LOCAL_MACHINE, key.c_str(), "TooLong", text));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), GetLastError());
    EXPECT_STREQ("unchanged", text);
}

TEST_F(RegistryTest, DwordRoundTrip)
{
    std::string key = Key("Numbers\\Deep");
    EXPECT_EQ(ERROR_SUCCESS, SetRegDword(HKEY_LOCAL_MACHINE, key.c_str(), "Count", 0xDEADBEEF));
    RawValue value = ReadRaw(key, "Count");
    ASSERT_EQ(ERROR_SUCCESS, value.lResult);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), value.dwType);
    EXPECT_EQ(4u, value.data.size());
    DWORD dwValue = 0;
    EXPECT_EQ(ERROR_SUCCESS, GetRegDword(HKEY_LOCAL_MACHINE, key.c_str(), "Count", dwValue));
    EXPECT_EQ(0xDEADBEEFu, dwValue);
}

TEST_F(RegistryTest, DwordOfTheWrongKindOrSize)
{
    std::string key = Key("Raw");
    ULONGLONG ullEight = 0x1122334455667788ull;
    DWORD dwFour = 42;
    WORD wTwo = 7;
    WriteRaw(key, "Long", REG_BINARY, &ullEight, sizeof(ullEight));
    WriteRaw(key, "LongDword", REG_DWORD, &ullEight, sizeof(ullEight));
    WriteRaw(key, "Short", REG_DWORD, &wTwo, sizeof(wTwo));
    WriteRaw(key, "Binary", REG_BINARY, &dwFour, sizeof(dwFour));
    WriteRaw(key, "Text", REG_SZ, "1", 2);
    WriteRaw(key, "FourText", REG_SZ, "123", 4);

    DWORD dwValue = 0;
    EXPECT_EQ(ERROR_SUCCESS, GetRegDword(HKEY_LOCAL_MACHINE, key.c_str(), "Binary", dwValue))
        << "four bytes of REG_BINARY are a count, as some installers store them";
    EXPECT_EQ(42u, dwValue);
    dwValue = 0x5A5A;
    EXPECT_EQ(ERROR_MORE_DATA, GetRegDword(HKEY_LOCAL_MACHINE, key.c_str(), "Long", dwValue));
    EXPECT_EQ(ERROR_MORE_DATA, GetRegDword(HKEY_LOCAL_MACHINE, key.c_str(), "LongDword", dwValue));
    for (const char* pszName : {"Short", "Text", "FourText"}) {
        SetLastError(0);
        EXPECT_EQ(ERROR_INVALID_DATATYPE, GetRegDword(HKEY_LOCAL_MACHINE, key.c_str(), pszName, dwValue))
            << pszName << " is no four-byte dword";
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATATYPE), GetLastError());
    }
    EXPECT_EQ(0x5A5Au, dwValue) << "a refused value leaves the output as it was";
}

}
