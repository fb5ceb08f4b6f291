// Forged log rows, as anyone who can change a logged table can write them:
// any operation text, table and column names, user name, key and field rows,
// values of every byte. Whatever the engine makes a statement of must be,
// as isql reads the script and the engine prepares it, exactly one insert,
// update or delete of the entry's own user table, and nothing else may
// parse: no comment that swallows the next statement, no value that ends
// its literal early. The statements are prepared in a real database (the
// embedded engine) whose tables the entries are checked against.
#include "FuzzUtil.h"

#include "db/Tdbmanager.h"
#include "engine/Clogreader.h"

#include <ibase.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace NorvaneImpl;
using FuzzUtil::Check;
using FuzzUtil::Fail;

namespace {

const char* const kSchema[] = {
    "create table IBE$LOG_TABLES (ID numeric(18,0), TABLE_NAME varchar(67), OPERATION varchar(1),"
    " DATE_TIME timestamp, USER_NAME varchar(67))",
    "create table GOODS (ID integer not null primary key, TITLE varchar(40), PRICE numeric(9,2), MADE date,"
    " PIC blob sub_type binary, NOTE blob sub_type text)",
    "create table LINES (ORDER_ID bigint not null, LINE_NO smallint not null, QTY double precision, primary key (ORDER_ID, LINE_NO))",
    "create table PLAIN (A varchar(10), B integer, C timestamp)",
    "create table CODES (CODE char(3) not null, NAME varchar(20), constraint CODES_UQ unique (CODE))",
    "create table \"order\" (\"VALUE\" integer not null primary key, \"Qty\" boolean)",
    "create view CHEAP as select ID from GOODS",
};
// Names an entry may claim: user tables, the others, and none at all.
const char* const kTables[] = {"GOODS", "LINES", "PLAIN", "CODES", "order", "CHEAP", "RDB$DATABASE",
                               "MON$ATTACHMENTS", "IBE$LOG_TABLES", "NOSUCH", "goods", "GOODS "};
const char* const kColumns[] = {"ID", "TITLE", "PRICE", "MADE", "PIC", "NOTE", "ORDER_ID", "LINE_NO", "QTY", "A", "B",
                                "C", "CODE", "NAME", "VALUE", "Qty", "RDB$DB_KEY", "MON$STATE", "ID "};

[[noreturn]] void FailStatus(const char* what, const ISC_STATUS* status)
{
    std::string text;
    char line[512];
    while (fb_interpret(line, sizeof line, &status))
        text += std::string(line) + "\n";
    Fail(what, text);
}

// A database of its own, attached twice: through the database manager,
// whose transaction the schema is read in, and directly, for preparing.
struct TDatabase {
    isc_db_handle handle = 0;
    isc_tr_handle transaction = 0;
    CSchema schema;

    TDatabase()
    {
        ISC_STATUS_ARRAY status{};
        const std::string path = FuzzUtil::Scratch().File("forged.fdb");
        const std::string create = "create database '" + path + "' user 'SYSDBA' default character set NONE";
        if (isc_dsql_execute_immediate(status, &handle, &transaction, 0, create.c_str(), SQL_DIALECT_V6, nullptr))
            FailStatus("create database", status);
        for (const char* ddl : kSchema) {
            if (isc_start_transaction(status, &transaction, 1, &handle, 0, nullptr) ||
                isc_dsql_execute_immediate(status, &handle, &transaction, 0, ddl, SQL_DIALECT_V6, nullptr) ||
                isc_commit_transaction(status, &transaction))
                FailStatus(ddl, status);
        }
        if (isc_start_transaction(status, &transaction, 1, &handle, 0, nullptr))
            FailStatus("start", status);
        TDBManager& manager = TDBManager::GetInstance();
        manager.Connect(path, "SYSDBA", "", "NONE");
        manager.StartTransaction();
        TParams period;
        period.CreateParam(ftDateTime, "BEGD").SetAsDateTime(0);
        period.CreateParam(ftDateTime, "ENDD").SetAsDateTime(1);
        schema.Read(period);
        manager.Rollback();
    }

    ~TDatabase()
    {
        ISC_STATUS_ARRAY status{};
        isc_rollback_transaction(status, &transaction);
        isc_detach_database(status, &handle);
    }

    // The statement type the engine prepares the text as; 0 when it takes
    // the text for a statement whose values it cannot convert, which is
    // the engine refusing a value, not the text.
    int Prepare(const std::string& sql)
    {
        ISC_STATUS_ARRAY status{};
        isc_stmt_handle statement = 0;
        if (isc_dsql_allocate_statement(status, &handle, &statement))
            FailStatus("allocate", status);
        int type = 0;
        if (isc_dsql_prepare(status, &transaction, &statement, 0, sql.c_str(), SQL_DIALECT_V6, nullptr)) {
            // A value of the wrong kind for its column (a text that is no
            // date) fails the prepare with a conversion error.
            const bool conversion = status[1] == isc_convert_error || status[1] == isc_arith_except ||
                                    status[1] == isc_date_range_exceeded;
            if (!conversion)
                FailStatus(("the engine does not take the statement\n" + sql).c_str(), status);
        } else {
            const char item = isc_info_sql_stmt_type;
            char buffer[16] = {};
            if (isc_dsql_sql_info(status, &statement, 1, &item, sizeof buffer, buffer))
                FailStatus("info", status);
            type = static_cast<int>(isc_vax_integer(buffer + 3, isc_vax_integer(buffer + 1, 2)));
        }
        isc_dsql_free_statement(status, &statement, DSQL_drop);
        return type;
    }
};

// How isql cuts a script into statements: at each ";" outside string
// literals, quoted names and comments. A NUL would end isql's line early and
// a carriage return at a line's end would be dropped, so neither may occur.
std::vector<std::string> IsqlStatements(const std::string& script)
{
    Check(script.find('\0') == std::string::npos && script.find('\r') == std::string::npos,
          "the script holds no NUL and no carriage return", script);
    std::vector<std::string> statements;
    std::string current;
    for (std::size_t i = 0; i < script.size(); ++i) {
        const char c = script[i];
        if (c == '\'' || c == '"') {
            const std::size_t end = script.find(c, i + 1);
            Check(end != std::string::npos, "every literal and quoted name ends", script);
            current += script.substr(i, end - i + 1);
            i = end;
        } else if (script.compare(i, 2, "/*") == 0) {
            const std::size_t end = script.find("*/", i + 2);
            Check(end != std::string::npos, "every comment ends", script);
            i = end + 1;
        } else if (script.compare(i, 2, "--") == 0) {
            i = script.find('\n', i);
            if (i == std::string::npos)
                break;
        } else if (c == ';') {
            statements.push_back(current.substr(current.find_first_not_of(" \n")));
            current.clear();
        } else {
            current += c;
        }
    }
    Check(current.find_first_not_of(" \n") == std::string::npos, "nothing follows the last statement", script);
    return statements;
}

std::string Bytes(FuzzedDataProvider& input, std::size_t most)
{
    return input.ConsumeRandomLengthString(most);
}

std::string OneOf(FuzzedDataProvider& input, const char* const* names, std::size_t count)
{
    if (input.ConsumeIntegralInRange<int>(0, 7) == 0)
        return Bytes(input, 40);
    return names[input.ConsumeIntegralInRange<std::size_t>(0, count - 1)];
}

TValueRow Row(FuzzedDataProvider& input, bool hasOld)
{
    TValueRow row;
    row.name = OneOf(input, kColumns, std::size(kColumns));
    row.newNull = input.ConsumeIntegralInRange<int>(0, 5) == 0;
    row.newValue = row.newNull ? std::string() : Bytes(input, 200);
    row.hasOld = hasOld;
    row.oldNull = input.ConsumeIntegralInRange<int>(0, 5) == 0;
    row.oldValue = row.oldNull ? std::string() : Bytes(input, 200);
    return row;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TDatabase database;
    FuzzedDataProvider input(data, size);
    TEntryRow entry;
    entry.id = 1;
    entry.operation = input.ConsumeBool() ? std::string(1, "IUD"[input.ConsumeIntegralInRange<int>(0, 2)])
                                          : Bytes(input, 3);
    entry.tableName = OneOf(input, kTables, std::size(kTables));
    entry.userName = Bytes(input, 40);
    entry.dateTime = Bytes(input, 30);
    std::vector<TValueRow> keys, fields;
    for (int i = input.ConsumeIntegralInRange<int>(0, 3); i > 0; --i)
        keys.push_back(Row(input, false));
    for (int i = input.ConsumeIntegralInRange<int>(0, 5); i > 0; --i)
        fields.push_back(Row(input, true));

    if (!EntryRefusal(entry, keys, fields, database.schema, true).empty())
        return 0;
    const TTableInfo* table = database.schema.Table(entry.tableName);
    Check(table && table->writable, "only a user table's entry is let through", entry.tableName);
    const std::unique_ptr<CLogRecord> record = MakeRecord(entry, keys, fields, database.schema, true, true);
    const std::string name = SQLName(table->name, true);
    for (const bool reproducing : {true, false}) {
        std::string statement;
        try {
            statement = record->GetStatement(reproducing);
        } catch (const CEUnknownIBType&) {
            continue;
        }
        if (statement.empty())
            continue;
        const std::vector<std::string> statements = IsqlStatements(statement + ";\n\n");
        Check(statements.size() == 1, "one entry is one statement", statement);
        const std::string& sql = statements[0];
        const int type = database.Prepare(sql);
        const std::pair<const char*, int> shapes[] = {{"insert into ", isc_info_sql_stmt_insert},
                                                      {"update ", isc_info_sql_stmt_update},
                                                      {"delete from ", isc_info_sql_stmt_delete}};
        bool known = false;
        for (const auto& [head, code] : shapes)
            if (sql.rfind(head + name + "\n", 0) == 0)
                known = type == 0 || type == code;
        Check(known, "the statement changes the entry's own table, as the engine reads it", sql);
    }
    return 0;
}
