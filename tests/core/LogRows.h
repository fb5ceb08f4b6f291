#pragma once
// The rows of a change log written by hand, as SQL for TestDatabase::Exec:
//   Entry(1, "GOODS", "U", "2003-02-01 10:15:00") + Key(1, "ID", "'7'") +
//   Field(1, "PRICE", "'10.00'", "'12.00'")
// Values are SQL: a quoted text or null.
#include <string>

namespace LogRows {

inline std::string Entry(int id, const std::string& table, const std::string& letter, const std::string& stamp,
                         const std::string& user = "SYSDBA")
{
    return "insert into IBE$LOG_TABLES (ID, TABLE_NAME, OPERATION, DATE_TIME, USER_NAME) values (" +
           std::to_string(id) + ", '" + table + "', '" + letter + "', '" + stamp + "', '" + user + "');\n";
}

inline std::string Key(int id, const std::string& field, const std::string& value)
{
    return "insert into IBE$LOG_KEYS (LOG_TABLES_ID, KEY_FIELD, KEY_VALUE) values (" + std::to_string(id) +
           ", '" + field + "', " + value + ");\n";
}

inline std::string Field(int id, const std::string& field, const std::string& oldValue, const std::string& newValue)
{
    return "insert into IBE$LOG_FIELDS (LOG_TABLES_ID, FIELD_NAME, OLD_VALUE, NEW_VALUE) values (" +
           std::to_string(id) + ", '" + field + "', " + oldValue + ", " + newValue + ");\n";
}

}  // namespace LogRows
