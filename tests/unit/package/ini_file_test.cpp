#include <gtest/gtest.h>

#include "package/ini_file.h"

TEST(IniFile, AnswersLookupsAsTheProfileFunctionsDo) {
    const IniFile file = IniFile::Parse(
        "\xEF\xBB\xBF; comment\r\n[General]\r\n  Key = value with spaces  \r\nquoted=\"  kept  \"\r\n"
        "# another comment\r\nnoequals\r\ndup=first\r\ndup=second\r\n[Other]\r\nKey=other\r\n[general]\r\n"
        "late=yes\r\nDup=third\r\n");
    EXPECT_EQ(file.Value(L"General", L"Key"), L"value with spaces");
    EXPECT_EQ(file.Value(L"GENERAL", L"key"), L"value with spaces");
    EXPECT_EQ(file.Value(L"General", L"quoted"), L"  kept  ");
    EXPECT_EQ(file.Value(L"General", L"dup"), L"first");
    EXPECT_EQ(file.Value(L"General", L"late"), L"yes");  // repeated sections merge
    EXPECT_EQ(file.Value(L"Other", L"Key"), L"other");
    EXPECT_EQ(file.Value(L"General", L"noequals"), std::nullopt);
    EXPECT_EQ(file.Value(L"Missing", L"Key"), std::nullopt);
}

TEST(IniFile, KeysBeforeAnySectionAndBrokenLinesAreIgnored) {
    const IniFile file = IniFile::Parse("orphan=1\n[Open\nk=v\n[]\nempty=section\n=novalue\n");
    EXPECT_EQ(file.Value(L"", L"orphan"), std::nullopt);
    EXPECT_EQ(file.Value(L"Open", L"k"), L"v");
    EXPECT_EQ(file.Value(L"", L"empty"), L"section");
}

TEST(IniFile, ReadsUtf8AndKeepsInvalidBytes) {
    const IniFile file = IniFile::Parse("[S]\nname=\xE3\x83\x97\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xBF\nraw=\xFF\xC3\n");
    EXPECT_EQ(file.Value(L"S", L"name"), L"\u30D7\u30EA\u30F3\u30BF");
    EXPECT_EQ(file.Value(L"S", L"raw"), std::wstring(L"\u00FF\u00C3"));
}

TEST(IniFile, LongLines) {
    const std::string value(100000, 'v');
    EXPECT_EQ(IniFile::Parse("[S]\nk=" + value + "\n").Value(L"S", L"k")->size(), value.size());
}

TEST(ProfileInt, ReadsLeadingDecimal) {
    EXPECT_EQ(ParseProfileInt(L"42"), 42);
    EXPECT_EQ(ParseProfileInt(L" -8x"), -8);
    EXPECT_EQ(ParseProfileInt(L"abc"), 0);
    EXPECT_EQ(ParseProfileInt(L"4294967295"), -1);  // wraps as 32 bits
}
