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

constexpr int kSmallint = 7, kInteger = 8, kChar = 14, kDouble = 27, kTimestamp = 35, kVarchar = 37, kArray = 9;


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
    // {type code, sub_type, logged text, literal}
    const struct {
        int type, subType;
        std::string value, literal;
    } cases[] = {
        {kSmallint, 0, "-3", "-3"}, {kInteger, 0, "12", "12"}, {kDouble, 0, "1.5", "1.5"},
        {16, 0, "1234.56", "1234.56"}, {16, 0, "-9223372036854775808", "-9223372036854775808"},
        {10, 0, "3.4028235e+38", "3.4028234663852885e38"}, {27, 0, "1.000000000000000e-05", "1e-05"},
        {27, 0, "2.500000000000000e-300", "2.5e-300"}, {27, 0, "-10.50E3", "-10.5E3"}, {27, 0, ".0e1", ".0e1"},
        // A double as Firebird reads it back bit for bit: 17 digits in their
        // shortest form, else another form, the sum of two literals or an
        // integer times a power of two; minus zero as minus a double zero.
        {27, 0, "-0.10000000000000001", "-0.1"}, {27, 0, "0.83333333333333337", "0.8333333333333334"},
        {27, 0, "1.8275862068965518", "(1.827586206896552 - 2.220446049250313e-16)"},
        {27, 0, "9.9998886718268301e-321", "(253 * power(2, -1071))"}, {27, 0, "-0", "-0e0"},
        {24, 0, ".5E3", ".5E3"}, {25, 0, "+7.", "+7."}, {26, 0, "170141183460469231731687303715884105727",
                                                        "170141183460469231731687303715884105727"},
        {23, 0, "TRUE", "TRUE"}, {23, 0, "false", "false"}, {23, 0, "Unknown", "Unknown"},
        {kChar, 0, "ab ", "'ab '"}, {kVarchar, 0, "", "''"}, {40, 0, "c", "'c'"},
        {kTimestamp, 0, "2003-02-01 10:15:00.0000", "'2003-02-01 10:15:00.0000'"},
        {12, 0, "2003-02-01", "'2003-02-01'"}, {13, 0, "10:15:00.1234", "'10:15:00.1234'"},
        {28, 0, "10:15:00.0000 Europe/Moscow", "'10:15:00.0000 Europe/Moscow'"},
        {29, 0, "2003-02-01 10:15:00.0000 +03:00", "'2003-02-01 10:15:00.0000 +03:00'"},
        {261, 1, "O'Brien", "'O''Brien'"}, {261, 1, "a\r\n", "_WIN1251 x'610D0A'"},
        {261, 0, std::string("\0\x7F\xFF", 3), "x'007FFF'"}, {261, 2, "", "x''"},
        // A number column's text that is not a number is a text literal for
        // the engine to convert or refuse, never a piece of the statement.
        {kInteger, 0, "2; delete from GOODS", "'2; delete from GOODS'"}, {kInteger, 0, "", "''"},
        {kSmallint, 0, "1e", "'1e'"}, {kDouble, 0, "1.2.3", "'1.2.3'"}, {16, 0, "- 1", "'- 1'"},
        {kInteger, 0, "0x1F", "'0x1F'"}, {kDouble, 0, "Infinity", "'Infinity'"}, {kInteger, 0, ".", "'.'"},
        {23, 0, "TRUE or 1=1", "'TRUE or 1=1'"}, {kInteger, 0, "1 ", "'1 '"},
        // Digits the parser cannot hold in 64 bits make no literal at all.
        {16, 0, "9223372036854775808", "'9223372036854775808'"}, {16, 0, "-0.9223372036854775809", "'-0.9223372036854775809'"},
        {16, 0, "18446744073709551616e-10", "'18446744073709551616e-10'"},
        {kDouble, 0, "000000000000000040000000000020000000e0000000000000800", "'000000000000000040000000000020000000e0000000000000800'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CFieldValue(c.type, V(c.value), nullptr, "A", c.subType).GetNewSQL(), c.literal)
            << c.type << " " << c.value;

    // A BLOB longer than one literal is joined from pieces; a text piece
    // never splits a UTF-8 sequence.
    const std::string text = std::string(29999, 'a') + "\xD0\x96" + std::string(5, 'b');
    EXPECT_EQ(CFieldValue(261, V(text), nullptr, "A", 1).GetNewSQL(),
              "cast('" + std::string(29999, 'a') + "' as blob sub_type text) || '\xD0\x96" "bbbbb'");
    std::string hex;
    for (int i = 0; i < 30000; ++i)
        hex += "01";
    EXPECT_EQ(CFieldValue(261, V(std::string(30001, '\x01')), nullptr, "A").GetNewSQL(),
              "cast(x'" + hex + "' as blob sub_type binary) || x'01'");

    // In UTF8 a literal holds at most 16,383 characters, a CHAR or VARCHAR
    // value too.
    const TScriptCharset utf8("UTF8", "UTF-8");
    std::string zh;
    for (int i = 0; i < 16384; ++i)
        zh += "\xD0\xB6";
    EXPECT_EQ(CFieldValue(261, V(std::string(16384, 'a')), nullptr, "A", 1).GetNewSQL(),
              "cast('" + std::string(16383, 'a') + "' as blob sub_type text) || 'a'");
    EXPECT_EQ(CFieldValue(kVarchar, V(zh), nullptr, "A").GetNewSQL(),
              "'" + zh.substr(0, 2 * 16383) + "' || '\xD0\xB6'");
    EXPECT_EQ(CFieldValue(kChar, V(zh.substr(2)), nullptr, "A").GetNewSQL(), "'" + zh.substr(2) + "'");
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
    EXPECT_EQ(CFieldValue(261, V("data"), nullptr, "PHOTO").GetType(), 5);
    CFieldValue array(kArray, V("data"), nullptr, "GRID");
    try {
        array.GetNewSQL();
        FAIL();
    } catch (CEUnknownIBType& e) {
        EXPECT_STREQ(e.what(), "Unknown field type.\nTable name: ''\nField name: 'GRID'\nField type: 9");
        e.SetTableName("EMPLOYEE");
        EXPECT_STREQ(e.what(), "Unknown field type.\nTable name: 'EMPLOYEE'\nField name: 'GRID'\nField type: 9");
    }
    for (int code : {0, 11, 45, 9 + 256}) {
        CFieldValue f(code, V("1"), nullptr, "F");
        try {
            f.GetNewSQL();
            FAIL() << code;
        } catch (const CEUnknownIBType& e) {
            EXPECT_EQ(std::string(e.what()).substr(std::string(e.what()).rfind('\n')),
                      "\nField type: " + std::to_string(code & 0xFF));
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
    TFieldList list = List(Field("A", kInteger, V("1"), V("0")), Field("B", kArray, V("x"), V("y")));
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
    // Matched by its fields, a change touches one row, not every equal one.
    EXPECT_EQ(noKey.GetReproducingStatement(), "update GOODS\nset PRICE = 12\nwhere PRICE = 10\nrows 1");
    EXPECT_EQ(noKey.GetUndoStatement(), "update GOODS\nset PRICE = 10\nwhere PRICE = 12\nrows 1");
}

// A logged user name cannot end the comment and turn the rest of it into a
// statement.
TEST_F(Messages, CommentEndMarksInTheUserNameAreBroken)
{
    CLogRecord r('D', true, "T", "X */ delete from T; /* **/", "01.02.2003", List(),
                 List(Field("A", kVarchar, Null(), V("1"))));
    EXPECT_EQ(r.GetReproducingStatement(),
              "/* 01.02.2003   Login: X * / delete from T; /* ** / */\ndelete from T\nwhere A = '1'\nrows 1");
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
    EXPECT_EQ(update.GetReproducingStatement(), "update T\nset A = 2, B = null\nwhere A is null AND B = 'b'\nrows 1");
    EXPECT_EQ(update.GetUndoStatement(), "update T\nset A = null, B = 'b'\nwhere A = 2 AND B is null\nrows 1");

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
    // A trigger that logs the new key: replaying still matches the old one.
    auto newKey = CLogRecord('U', false, "T", "U", "d", List(Key("ID", kInteger, V("11")), Key("K", kInteger, V("5"))),
                             List(Field("ID", kInteger, V("11"), V("10"))));
    EXPECT_EQ(newKey.GetReproducingStatement(), "update T\nset ID = 11\nwhere ID = 10 AND K = 5");
    EXPECT_EQ(newKey.GetUndoStatement(), "update T\nset ID = 10\nwhere ID = 11 AND K = 5");
}

TEST(FieldValue, NamesThatNeedQuotingInDialect3)
{
    for (const auto& [name, quoted] : std::vector<std::pair<std::string, std::string>>{
             {"GOODS", "GOODS"}, {"A$1_B", "A$1_B"}, {"GOODS  ", "GOODS  "}, {"goods", "\"goods\""},
             {"ORDER", "\"ORDER\""}, {"VALUE", "\"VALUE\""}, {"MY TABLE", "\"MY TABLE\""}, {"1A", "\"1A\""},
             {"_A", "\"_A\""}, {"a\"b  ", "\"a\"\"b\""}, {"\xD2\xCE\xC2", "\"\xD2\xCE\xC2\""}, {"", "\"\""}}) {
        EXPECT_EQ(SQLName(name, true), quoted);
        EXPECT_EQ(SQLName(name, false), name);
    }
    auto quote = [](const std::string& name, int type, auto value, auto old) {
        return std::make_unique<const CFieldValue>(type, std::move(value), std::move(old), name, 0, true);
    };
    auto q = CLogRecord('U', false, "order", "U", "d", List(quote("KEY", kInteger, V("1"), nullptr)),
                        List(quote("Qty", kInteger, V("2"), V("1"))), true);
    EXPECT_EQ(q.GetReproducingStatement(), "update \"order\"\nset \"Qty\" = 2\nwhere KEY = 1");
    auto i = CLogRecord('I', false, "A B", "U", "d", TFieldList{}, List(quote("SELECT", kInteger, V("2"), Null())), true);
    EXPECT_EQ(i.GetReproducingStatement(), "insert into \"A B\"\n(\"SELECT\")\nvalues (2)");
    EXPECT_EQ(i.GetUndoStatement(), "delete from \"A B\"\nwhere \"SELECT\" = 2\nrows 1");
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
    CLogRecord array('I', false, "EMPLOYEE", "U", "d", TFieldList{}, List(Field("GRID", kArray, V("x"), Null())));
    try {
        array.GetReproducingStatement();
        FAIL();
    } catch (const CEUnknownIBType& e) {
        EXPECT_STREQ(e.what(), "Unknown field type.\nTable name: 'EMPLOYEE'\nField name: 'GRID'\nField type: 9");
    }
    EXPECT_EQ(IBTypeName(kArray), "ARRAY");
    EXPECT_EQ(IBTypeName(kInteger), "");
}
