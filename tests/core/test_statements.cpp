// SQL texts of field values, joined lists and log records, compared exactly.
#include "engine/Clogrecord.h"
#include "engine/Cstringaccumulator.h"
#include "locale/Messages.h"

#include "RecordBuilders.h"

#include <gtest/gtest.h>

#include <list>

using namespace NorvaneImpl;
using namespace RecordBuilders;
using StringAccumulator::Accumulate;
using StringAccumulator::CEEmptyStrList;

namespace {

constexpr int kSmallint = 7, kInteger = 8, kChar = 14, kDouble = 27, kTimestamp = 35, kVarchar = 37;


CLogRecord Goods(char action, bool comments, bool withKey)
{
    return CLogRecord(action, comments, "GOODS", "SYSDBA", "01.02.2003 10:15:00",
                      withKey ? List(Key("ID", kInteger, V("7"))) : TFieldList{},
                      List(Field("PRICE", kInteger, V("12"), V("10"))));
}

struct Item {
    std::string text;
    std::string Text() const { return text; }
};

class Messages : public ::testing::Test {
protected:
    void SetUp() override { ResetMessages(); }
    void TearDown() override { ResetMessages(); }
};

}  // namespace

TEST(FieldValue, LiteralsByTypeCode)
{
    EXPECT_EQ(CFieldValue(kSmallint, V("-3"), nullptr, "A").GetNewSQL(), "-3");
    EXPECT_EQ(CFieldValue(kInteger, V("12"), nullptr, "A").GetNewSQL(), "12");
    EXPECT_EQ(CFieldValue(kDouble, V("1.5"), nullptr, "A").GetNewSQL(), "1.5");
    EXPECT_EQ(CFieldValue(kChar, V("ab "), nullptr, "A").GetNewSQL(), "'ab '");
    EXPECT_EQ(CFieldValue(kTimestamp, V("2003-02-01 10:15:00.0000"), nullptr, "A").GetNewSQL(),
              "'2003-02-01 10:15:00.0000'");
    EXPECT_EQ(CFieldValue(kVarchar, V(""), nullptr, "A").GetNewSQL(), "''");
    // An empty non-null number has no literal of its own; it is passed as logged.
    EXPECT_EQ(CFieldValue(kInteger, V(""), nullptr, "N").GetNewEquality(), "N = ");
}

TEST(FieldValue, ApostrophesAreDoubledInsideLiterals)
{
    EXPECT_EQ(Quoted("O'Brien"), "'O''Brien'");
    EXPECT_EQ(Quoted("''"), "''''''");
    EXPECT_EQ(CFieldValue(kVarchar, V("x'); drop table T; --"), nullptr, "A").GetNewSQL(),
              "'x''); drop table T; --'");
    // Cyrillic Windows-1251 bytes pass through untouched.
    EXPECT_EQ(Quoted("\xCF\xF0\xE8\xE2\xE5\xF2"), "'\xCF\xF0\xE8\xE2\xE5\xF2'");
    // A line feed and other control characters stay as they are; a NUL or a
    // carriage return makes the whole text hexadecimal.
    EXPECT_EQ(Quoted("a\nb\tc"), "'a\nb\tc'");
    EXPECT_EQ(Quoted("a\r\nb"), "_WIN1251 x'610D0A62'");
    EXPECT_EQ(Quoted(std::string("O'\0\xFF", 4)), "_WIN1251 x'4F2700FF'");
    EXPECT_EQ(CFieldValue(kVarchar, V("\r"), nullptr, "A").GetNewCondition(), "A = _WIN1251 x'0D'");
}

TEST(FieldValue, NullIsTheWordNullForEveryType)
{
    EXPECT_EQ(CFieldValue(kChar, Null(), nullptr, "A").GetNewSQL(), "null");
    EXPECT_EQ(CFieldValue(261, Null(), nullptr, "PHOTO").GetNewSQL(), "null");
    CFieldValue f(kVarchar, Null(), V("x"), "NAME");
    EXPECT_EQ(f.GetNewEquality(), "NAME = null");
    EXPECT_EQ(f.GetNewCondition(), "NAME is null");
    EXPECT_EQ(f.GetOldCondition(), "NAME = 'x'");
    EXPECT_EQ(f.GetKeyEquality(), f.GetNewEquality());
}

TEST(FieldValue, UnknownTypeNamesTableFieldAndSignedCode)
{
    CFieldValue blob(261, V("data"), nullptr, "PHOTO");
    EXPECT_EQ(blob.GetType(), 5);
    try {
        blob.GetNewSQL();
        FAIL();
    } catch (CEUnknownIBType& e) {
        EXPECT_STREQ(e.what(), "Unknown field type.\nTable name: ''\nField name: 'PHOTO'\nField type: 5");
        e.SetTableName("EMPLOYEE");
        EXPECT_STREQ(e.what(), "Unknown field type.\nTable name: 'EMPLOYEE'\nField name: 'PHOTO'\nField type: 5");
    }
    for (int code : {10, 12, 13, 16, 40}) {
        CFieldValue f(code, V("1"), nullptr, "F");
        try {
            f.GetNewSQL();
            FAIL() << code;
        } catch (const CEUnknownIBType& e) {
            EXPECT_EQ(std::string(e.what()).substr(std::string(e.what()).rfind('\n')),
                      "\nField type: " + std::to_string(code));
        }
    }
    CFieldValue big(200, V("1"), nullptr, "F");
    EXPECT_EQ(big.GetType(), -56);
    try {
        big.GetNewSQL();
        FAIL();
    } catch (const CEUnknownIBType& e) {
        EXPECT_NE(std::string(e.what()).find("Field type: -56"), std::string::npos);
    }
}

TEST(Accumulate, JoinsNonEmptyTexts)
{
    auto join = [](std::list<Item> items, bool trailing, const std::string& sep) {
        std::list<const Item*> ptrs;
        for (auto& i : items)
            ptrs.push_back(&i);
        return Accumulate(trailing, ptrs.begin(), ptrs.end(), &Item::Text, sep);
    };
    EXPECT_EQ(join({{"A"}}, false, ", "), "A");
    EXPECT_EQ(join({{"A"}}, true, ", "), "A, ");
    EXPECT_EQ(join({{"A"}, {""}, {"B"}}, false, " AND "), "A AND B");
    EXPECT_EQ(join({{"A"}, {"B"}, {""}}, false, ", "), "A, B, ");
    EXPECT_EQ(join({{""}, {""}}, true, ", "), "");
    EXPECT_THROW(join({}, false, ", "), CEEmptyStrList);
    EXPECT_STREQ(CEEmptyStrList().what(), "");

    std::list<Item> items{{"A"}, {"B"}, {"C"}};
    std::list<const Item*> ptrs;
    for (auto& i : items)
        ptrs.push_back(&i);
    EXPECT_EQ(Accumulate(true, ptrs.rbegin(), ptrs.rend(), &Item::Text, ";\n\n"), "C;\n\nB;\n\nA;\n\n");
}

TEST(Accumulate, ItemErrorPassesUnchanged)
{
    TFieldList list = List(Field("A", kInteger, V("1"), V("0")), Field("B", 5, V("x"), V("y")));
    EXPECT_THROW(Accumulate(false, list.begin(), list.end(), &CFieldValue::GetNewSQL, ", "), CEUnknownIBType);
}

TEST_F(Messages, WorkedExampleUpdateWithKey)
{
    CLogRecord r = Goods('U', true, true);
    EXPECT_EQ(r.GetReproducingStatement(),
              "/* 01.02.2003 10:15:00   Login: SYSDBA */\nupdate GOODS\nset PRICE = 12\nwhere ID = 7");
    EXPECT_EQ(r.GetUndoStatement(),
              "/* 01.02.2003 10:15:00   Login: SYSDBA */\nupdate GOODS\nset PRICE = 10\nwhere ID = 7");
    CLogRecord noKey = Goods('U', false, false);
    EXPECT_EQ(noKey.GetReproducingStatement(), "update GOODS\nset PRICE = 12\nwhere PRICE = 10");
    EXPECT_EQ(noKey.GetUndoStatement(), "update GOODS\nset PRICE = 10\nwhere PRICE = 12");
}

// A logged user name cannot end the comment and turn the rest of it into a
// statement.
TEST_F(Messages, CommentEndMarksInTheUserNameAreBroken)
{
    CLogRecord r('D', true, "T", "X */ delete from T; /* **/", "01.02.2003", List(),
                 List(Field("A", kVarchar, Null(), V("1"))));
    EXPECT_EQ(r.GetReproducingStatement(),
              "/* 01.02.2003   Login: X * / delete from T; /* ** / */\ndelete from T\nwhere A = '1'");
}

TEST_F(Messages, InsertAndDeleteBothWays)
{
    auto insert = CLogRecord('I', false, "T", "U", "d", List(Key("ID", kInteger, V("1"))),
                             List(Field("ID", kInteger, V("1"), Null()), Field("NAME", kVarchar, V("O'Brien"), Null())));
    EXPECT_EQ(insert.GetReproducingStatement(), "insert into T\n(ID, NAME)\nvalues (1, 'O''Brien')");
    EXPECT_EQ(insert.GetUndoStatement(), "delete from T\nwhere ID = 1");

    auto del = CLogRecord('D', false, "T", "U", "d",
                          List(Key("A", kInteger, V("1")), Key("B", kChar, V("x"))),
                          List(Field("A", kInteger, Null(), V("1")), Field("B", kChar, Null(), V("x")),
                               Field("C", kDouble, Null(), Null())));
    EXPECT_EQ(del.GetReproducingStatement(), "delete from T\nwhere A = 1 AND B = 'x'");
    EXPECT_EQ(del.GetUndoStatement(), "insert into T\n(A, B, C)\nvalues (1, 'x', null)");
}

TEST_F(Messages, NullValuesInConditionsUseIsNull)
{
    auto update = CLogRecord('U', false, "T", "U", "d", TFieldList{},
                             List(Field("A", kInteger, V("2"), Null()), Field("B", kVarchar, Null(), V("b"))));
    EXPECT_EQ(update.GetReproducingStatement(), "update T\nset A = 2, B = null\nwhere A is null AND B = 'b'");
    EXPECT_EQ(update.GetUndoStatement(), "update T\nset A = null, B = 'b'\nwhere A = 2 AND B is null");

    auto nullKey = CLogRecord('D', false, "T", "U", "d", List(Key("ID", kInteger, Null())),
                              List(Field("ID", kInteger, Null(), Null())));
    EXPECT_EQ(nullKey.GetReproducingStatement(), "delete from T\nwhere ID is null");
}

TEST_F(Messages, UndoOfKeyChangeMatchesTheNewKey)
{
    auto r = CLogRecord('U', false, "T", "U", "d", List(Key("ID", kInteger, V("10"))),
                        List(Field("ID", kInteger, V("11"), V("10"))));
    EXPECT_EQ(r.GetReproducingStatement(), "update T\nset ID = 11\nwhere ID = 10");
    EXPECT_EQ(r.GetUndoStatement(), "update T\nset ID = 10\nwhere ID = 11");
}

TEST_F(Messages, EmptyListsGiveEmptyStatementWithoutComment)
{
    CLogRecord none('U', true, "T", "U", "d", TFieldList{}, TFieldList{});
    EXPECT_EQ(none.GetReproducingStatement(), "");
    EXPECT_EQ(none.GetUndoStatement(), "");
    CLogRecord ins('I', true, "T", "U", "d", List(Key("ID", kInteger, V("1"))), TFieldList{});
    EXPECT_EQ(ins.GetReproducingStatement(), "");
    EXPECT_EQ(ins.GetUndoStatement(), "/* d   Login: U */\ndelete from T\nwhere ID = 1");
    CLogRecord del('D', false, "T", "U", "d", TFieldList{}, TFieldList{});
    EXPECT_EQ(del.GetReproducingStatement(), "");
}

TEST_F(Messages, UnknownLetterAndUnknownType)
{
    for (char letter : {'X', 'u'}) {
        CLogRecord r(letter, true, "T", "U", "d", TFieldList{}, TFieldList{});
        try {
            r.GetReproducingStatement();
            FAIL();
        } catch (const CEUnknownActionLetter& e) {
            EXPECT_EQ(std::string(e.what()), std::string("Unknown operation symbol: ") + letter);
        }
    }
    CLogRecord blob('I', false, "EMPLOYEE", "U", "d", TFieldList{}, List(Field("PHOTO", 261, V("x"), Null())));
    try {
        blob.GetReproducingStatement();
        FAIL();
    } catch (const CEUnknownIBType& e) {
        EXPECT_STREQ(e.what(), "Unknown field type.\nTable name: 'EMPLOYEE'\nField name: 'PHOTO'\nField type: 5");
    }
}
