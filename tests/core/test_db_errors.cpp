// The texts of the database manager's errors, and the parts of its layer over
// the client library that need no database: parameter markers and the
// connection's parameter block.
#include "FbTestUtil.h"

#include "db/Ibclient.h"
#include "core/Resfuncs.h"
#include "db/Tdbmanager.h"
#include "locale/Messages.h"
#include "res/TextIds.h"

#include <gtest/gtest.h>

namespace {

class DBManagerErrors : public ::testing::Test {
protected:
    void SetUp() override
    {
        TFormatSettings fixed;  // day.month.year, 24-hour time
        SetFormatSettings(&fixed);
        // The texts follow the catalogue: these cases read the Russian ones.
        LoadMessagesFromText(LoadResourceText(BuiltinTexts::kLocaleRussian, "LOCALE"));
    }
    void TearDown() override
    {
        SetFormatSettings(nullptr);
        ResetMessages();
    }
};

const std::string kQueryHeading = "\n" + Cp1251("Текст запроса:") + "\n";
const std::string kParamsHeading = "\n" + Cp1251("Значения параметров:") + "\n";
const std::string kQueryFailed = Cp1251("Ошибка при попытке выполнения запроса:") + "\n";

}  // namespace

TEST_F(DBManagerErrors, ConnectErrorCarriesLibraryTextAndLocation)
{
    ConnectError error("Unable to complete network request to host \"db\".", "db:/data/x.fdb");
    EXPECT_EQ(error.Message, Cp1251("Ошибка при попытке подключения к базе данных:\n") +
                                 "Unable to complete network request to host \"db\"." +
                                 Cp1251("\nРасположение базы данных:\n") + "db:/data/x.fdb");
    EXPECT_EQ(std::string(error.what()), error.Message);
}

TEST(DBManagerErrorTexts, EnglishWithTheBuiltInCatalogue)
{
    ResetMessages();
    EXPECT_EQ(ConnectError("refused", "db:/x.fdb").Message,
              "Cannot connect to the database:\nrefused\nDatabase location:\ndb:/x.fdb");
    TParams params;
    params.CreateParam(ftInteger, "X");
    EXPECT_EQ(SQLError("lib", &params, "select 1").Message,
              "The query failed:\nlib\nQuery text:\nselect 1\nParameter values:\nX = NULL not in the query\n");
    EXPECT_EQ(TranError().Message, "The query cannot run: no transaction is active");
}

TEST_F(DBManagerErrors, TranErrorTexts)
{
    EXPECT_EQ(TranError().Message, Cp1251("Невозможно выполнить запрос, так как отсутствует активная транзакция"));
    EXPECT_EQ(TranError("text").Message, "text");
}

TEST_F(DBManagerErrors, SQLErrorListsEachParameter)
{
    // The key query's failure with ID = 17: the query names :ID, so no marker.
    const std::string sql = "select lk.key_field from ibe$log_keys lk where lk.log_tables_id = :ID";
    TParams params;
    params.CreateParam(ftInteger, "ID").SetAsInteger(17);
    EXPECT_EQ(SQLError("Table unknown", &params, sql).Message,
              kQueryFailed + "Table unknown" + kQueryHeading + sql + kParamsHeading + "ID = 17\n");

    TParams more;
    more.CreateParam(ftInteger, "id").SetAsInteger(-5);               // the search is case-sensitive
    more.CreateParam(ftDateTime, "ID");                               // null
    more.CreateParam(ftDateTime, "BEGD").SetAsDateTime(EncodeDate(2003, 2, 1));
    more.CreateParam(ftDateTime, "ENDD").SetAsDateTime(EncodeDateTime(2003, 2, 1, 10, 15, 0));
    EXPECT_EQ(SQLError("lib", &more, sql).Message,
              kQueryFailed + "lib" + kQueryHeading + sql + kParamsHeading + "id = -5" + Cp1251(" Нет в запросе") +
                  "\n" + "ID = NULL\n" + "BEGD = 01.02.2003" + Cp1251(" Нет в запросе") + "\n" +
                  "ENDD = 01.02.2003 10:15:00" + Cp1251(" Нет в запросе") + "\n");
}

TEST_F(DBManagerErrors, ParameterBlockOnlyWhenAListIsGiven)
{
    TParams empty;
    EXPECT_EQ(SQLError("lib", &empty, "select 1").Message, kQueryFailed + "lib" + kQueryHeading + "select 1" + kParamsHeading);
    EXPECT_EQ(SQLError("", nullptr, "").Message, kQueryFailed + kQueryHeading);
    EXPECT_EQ(TooShortSQLError("").Message, Cp1251("Текст запроса подозрительно короткий") + kQueryHeading);
    EXPECT_EQ(TooShortSQLError("sel").Message, Cp1251("Текст запроса подозрительно короткий") + kQueryHeading + "sel");
}

TEST_F(DBManagerErrors, ClassesFollowTheTree)
{
    auto caughtAs = [](auto raise) {
        std::string caught;
        try {
            raise();
        } catch (const QryError&) {
            caught += "Qry";
        } catch (const DBManagerError&) {
            caught += "DBManager";
        }
        return caught;
    };
    EXPECT_EQ(caughtAs([] { throw SQLError("", nullptr, ""); }), "Qry");
    EXPECT_EQ(caughtAs([] { throw TooShortSQLError(""); }), "Qry");
    EXPECT_EQ(caughtAs([] { throw TranError(); }), "DBManager");
    EXPECT_EQ(caughtAs([] { throw ConnectError("", ""); }), "DBManager");
    EXPECT_THROW(throw ConnectError("", ""), Exception);
}

TEST(DBParams, ValuesAndTexts)
{
    TFormatSettings fixed;
    SetFormatSettings(&fixed);
    TParams params;
    TParam& id = params.CreateParam(ftInteger, "ID");
    EXPECT_TRUE(id.IsNull());
    EXPECT_EQ(id.AsString(), "");
    id.SetAsInteger(9007199254740993LL);
    EXPECT_EQ(id.AsString(), "9007199254740993");
    TParam& when = params.CreateParam(ftUnknown, "BEGD");
    when.SetAsDateTime(EncodeDateTime(1999, 12, 31, 23, 59, 59));
    EXPECT_EQ(when.DataType, ftDateTime);
    EXPECT_EQ(when.AsString(), "31.12.1999 23:59:59");
    EXPECT_EQ(params.FindParam("begd"), &when);  // names compare without regard to case
    EXPECT_EQ(params.FindParam("ENDD"), nullptr);
    EXPECT_EQ(&params[0], &id);  // created parameters stay where they are
    when.Clear();
    EXPECT_TRUE(when.IsNull());
    EXPECT_EQ(when.DataType, ftDateTime);
    SetFormatSettings(nullptr);
}

TEST(DBParamMarkers, NamesBecomePositionalMarkers)
{
    auto parsed = IBClient::ParseParamMarkers(
        "select ':A', \"x:B\", q'{:C}' from t where a = :ID and b = :Id_2 -- :D\n"
        "and c = :ID /* :E */ and d = :\"Mixed\"");
    EXPECT_EQ(parsed.text,
              "select ':A', \"x:B\", q'{:C}' from t where a = ? and b = ? -- :D\n"
              "and c = ? /* :E */ and d = ?");
    EXPECT_EQ(parsed.names, (std::vector<std::string>{"ID", "Id_2", "ID", "Mixed"}));

    // A doubled quote stays inside its literal; a lone colon is text.
    parsed = IBClient::ParseParamMarkers("select 'it''s :X' || : from t where x=:Y");
    EXPECT_EQ(parsed.text, "select 'it''s :X' || : from t where x=?");
    EXPECT_EQ(parsed.names, (std::vector<std::string>{"Y"}));
}

TEST(DBConnection, ParameterBlockItems)
{
    IBClient::TIBDatabase database;
    database.SetParam(isc_dpb_user_name, "SYSDBA");
    database.SetParam(isc_dpb_password, "secret");
    database.SetParam(isc_dpb_lc_ctype, "WIN1251");
    EXPECT_EQ(database.ParameterBlock(), std::string("\x01\x1C\x06SYSDBA\x1D\x06secret\x30\x07WIN1251", 26));
    // An empty value removes its item; a replaced one keeps its place.
    database.SetParam(isc_dpb_password, "");
    database.SetParam(isc_dpb_user_name, "IVAN");
    EXPECT_EQ(database.ParameterBlock(), std::string("\x01\x1C\x04IVAN\x30\x07WIN1251", 16));
}

TEST(DBDates, TimestampsKeepTheirSecond)
{
    const TDateTime boundary = EncodeDateTime(2003, 2, 2, 0, 0, 1);
    const ISC_TIMESTAMP timestamp = IBClient::ToIscTimestamp(boundary);
    EXPECT_EQ(timestamp.timestamp_date, 52672);  // 2003-02-02 counted from 1858-11-17
    EXPECT_EQ(timestamp.timestamp_time, 10000u);
    EXPECT_DOUBLE_EQ(IBClient::FromIscTimestamp(timestamp), boundary);
    // A tenth of a millisecond before the next second is still this second.
    EXPECT_EQ(TimeToStr(IBClient::FromIscTime(9999)), "00:00:00");
}
