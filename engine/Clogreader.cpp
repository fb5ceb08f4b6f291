#include "engine/Clogreader.h"

#include "app/core/Resfuncs.h"
#include "db/Tdbmanager.h"
#include "engine/Cnorvane.h"
#include "res/TextIds.h"

#include <algorithm>

namespace NorvaneImpl {

namespace {

// The code of an array's id, given to array columns.
constexpr int kArrayType = 9;

TField& Column(TDataSet& data, const std::string& name)
{
    TField* field = data.FindField(name);
    if (!field)
        throw Exception("Field '" + name + "' not found");
    return *field;
}

// A name as SQL compares it: without its trailing blanks.
std::string Trimmed(std::string name)
{
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

std::string ColumnKey(const std::string& table, const std::string& column)
{
    return Trimmed(table) + '\0' + Trimmed(column);
}

// A row's place is its record number, which its db_key holds as a high byte
// (the third) and four low bytes (the fifth to the eighth), least
// significant first, as the server lays them out. Sorting by it puts an
// entry's rows in the order a query of that entry alone returns them.
unsigned long long Place(const std::string& dbKey)
{
    if (dbKey.size() != 8)
        throw Exception("Unexpected RDB$DB_KEY of " + std::to_string(dbKey.size()) + " bytes");
    auto byte = [&dbKey](size_t i) { return static_cast<unsigned long long>(static_cast<unsigned char>(dbKey[i])); };
    return byte(2) << 32 | byte(7) << 24 | byte(6) << 16 | byte(5) << 8 | byte(4);
}

}  // namespace

// ---------------------------------------------------------------- TLogMerger

TLogMerger::TLogMerger(TRowSource<TEntryRow> aEntries, TRowSource<TValueRow> aKeys, TRowSource<TValueRow> aFields)
    : entries(std::move(aEntries))
{
    keys.source = std::move(aKeys);
    fields.source = std::move(aFields);
}

void TLogMerger::TStream::Take(long long logId, std::vector<TValueRow>& rows)
{
    rows.clear();
    for (;;) {
        if (!hasPending) {
            if (ended || !source(pending)) {
                ended = true;
                break;
            }
            hasPending = true;
        }
        if (pending.logId > logId)
            break;
        if (pending.logId == logId)
            rows.push_back(std::move(pending));
        hasPending = false;
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TValueRow& a, const TValueRow& b) { return a.place < b.place; });
}

bool TLogMerger::Next(TEntryRow& entry, std::vector<TValueRow>& keyRows, std::vector<TValueRow>& fieldRows)
{
    if (!entries(entry))
        return false;
    keys.Take(entry.id, keyRows);
    fields.Take(entry.id, fieldRows);
    return true;
}

// ---------------------------------------------------------------- CLogReader

// One of the two value queries, opened when its first row is asked for.
struct CLogReader::TValueQuery {
    TValueQuery(int aQuery, std::string aTable, std::string aAlias, std::string aNameColumn, TValueColumns aNewColumns,
                TValueColumns aOldColumns)
        : query(aQuery), logTable(std::move(aTable)), alias(std::move(aAlias)), nameColumn(std::move(aNameColumn)),
          newColumns(std::move(aNewColumns)), oldColumns(std::move(aOldColumns))
    {
    }

    int query;
    std::string logTable;  // the log table and its alias in the query
    std::string alias;
    std::string nameColumn;
    TValueColumns newColumns;
    TValueColumns oldColumns;  // none: the query has no old value
    std::unique_ptr<TDataSet> data;
    TField* id = nullptr;
    TField* dbKey = nullptr;
    TField* table = nullptr;
    TField* name = nullptr;
    std::vector<TField*> newFields;
    std::vector<TField*> oldFields;
    TField* incomplete = nullptr;
};

CLogReader::CLogReader(const TParams& aPeriod, bool aQuoteNames, bool aIncludeComments)
    : period(std::make_unique<const TParams>(aPeriod)), quoteNames(aQuoteNames), includeComments(aIncludeComments)
{
    TDBManager& db = TDBManager::GetInstance();
    // Every query reads forward only: a row is gone once the next one comes.
    log = db.OpenQuery(LoadResourceText(BuiltinTexts::kLogEntries, "LOG"), this->period.get(), false);
    keyQuery = std::make_unique<TValueQuery>(BuiltinTexts::kLogPeriodKeys, "IBE$LOG_KEYS", "lk", "KEY_FIELD",
                                             TValueColumns{{"KEY_VALUE"}}, TValueColumns{});
    fieldQuery = std::make_unique<TValueQuery>(BuiltinTexts::kLogPeriodFields, "IBE$LOG_FIELDS", "lf", "FIELD_NAME",
                                               TValueColumns{{"NEW_VALUE", "NEW_TEXT", "NEW_BYTES"}},
                                               TValueColumns{{"OLD_VALUE", "OLD_TEXT", "OLD_BYTES"}});

    TField& operation = Column(*log, "OPERATION");
    TField& tableName = Column(*log, "TABLE_NAME");
    TField& id = Column(*log, "ID");
    TField& dateTime = Column(*log, "DATE_TIME");
    TField& user = Column(*log, "USER_NAME");
    bool first = true;
    auto entries = [this, first, &operation, &tableName, &id, &dateTime, &user](TEntryRow& row) mutable {
        if (!first)
            log->Next();
        first = false;
        if (log->Eof())
            return false;
        row.operation = operation.AsString();
        if (row.operation.empty())
            throw Exception("Range check error");
        row.id = id.AsInteger();
        row.tableName = tableName.AsString();
        row.dateTime = dateTime.AsString();
        row.userName = user.AsString();
        return true;
    };
    merger = std::make_unique<TLogMerger>(
        entries, [this](TValueRow& row) { return NextValue(*keyQuery, row); },
        [this](TValueRow& row) { return NextValue(*fieldQuery, row); });
}

CLogReader::~CLogReader() = default;

void CLogReader::ReadColumnTypes()
{
    std::unique_ptr<TDataSet> data =
        TDBManager::GetInstance().OpenQuery(LoadResourceText(BuiltinTexts::kLogPeriodColumns, "LOG"), period.get(),
                                            false);
    columnsRead = true;
    if (data->Eof())
        return;
    TField& entries = Column(*data, "ENTRIES");
    TField& table = Column(*data, "RDB$RELATION_NAME");
    TField& column = Column(*data, "RDB$FIELD_NAME");
    TField& type = Column(*data, "RDB$FIELD_TYPE");
    TField& subType = Column(*data, "RDB$FIELD_SUB_TYPE");
    TField& dimensions = Column(*data, "RDB$DIMENSIONS");
    // The number of entries comes with every column.
    total = static_cast<int>(entries.AsInteger());
    for (; !data->Eof(); data->Next()) {
        // A column matches as in an inner join with both system tables.
        if (column.IsNull() || type.IsNull())
            continue;
        // An array column's type is that of its elements; its values are
        // the array's id, which has no literal.
        const int code = dimensions.AsInteger() > 0 ? kArrayType : static_cast<int>(type.AsInteger() & 0xFF);
        columnTypes.emplace(ColumnKey(table.AsString(), column.AsString()),
                            TColumnType{code, static_cast<int>(subType.AsInteger())});
    }
}

void CLogReader::ReadLogColumns()
{
    std::unique_ptr<TDataSet> data =
        TDBManager::GetInstance().OpenQuery(LoadResourceText(BuiltinTexts::kLogLogColumns, "LOG"), nullptr, false);
    if (data->Eof())
        return;
    TField& table = Column(*data, "RDB$RELATION_NAME");
    TField& column = Column(*data, "RDB$FIELD_NAME");
    for (; !data->Eof(); data->Next())
        logColumns.insert(ColumnKey(table.AsString(), column.AsString()));
}

// The query of the values with the columns beyond its own that the log
// table has, added at the end of its select list.
std::string CLogReader::ValuesQuery(const TValueQuery& query) const
{
    std::string sql = LoadResourceText(query.query, "LOG");
    std::vector<std::string> optional;
    for (const TValueColumns* columns : {&query.newColumns, &query.oldColumns})
        if (!columns->names.empty())
            optional.insert(optional.end(), columns->names.begin() + 1, columns->names.end());
    optional.push_back("INCOMPLETE");
    std::string more;
    for (const std::string& column : optional)
        if (logColumns.count(ColumnKey(query.logTable, column)))
            more += ", " + query.alias + "." + column;
    std::size_t from = sql.find("\nfrom");
    if (more.empty() || from == std::string::npos)
        return sql;
    if (from > 0 && sql[from - 1] == '\r')
        --from;
    return sql.insert(from, more);
}

bool CLogReader::NextValue(TValueQuery& query, TValueRow& row)
{
    if (!query.data) {
        if (!columnsRead) {
            ReadColumnTypes();
            ReadLogColumns();
        }
        query.data = TDBManager::GetInstance().OpenQuery(ValuesQuery(query), period.get(), false);
        if (query.data->Eof())
            return false;
        query.id = &Column(*query.data, "LOG_TABLES_ID");
        query.dbKey = &Column(*query.data, "DB_KEY");
        query.table = &Column(*query.data, "TABLE_NAME");
        query.name = &Column(*query.data, query.nameColumn);
        // The first column is in every log; the others only where the log has them.
        for (auto [columns, fields] : {std::pair{&query.newColumns, &query.newFields},
                                       std::pair{&query.oldColumns, &query.oldFields}})
            for (const std::string& name : columns->names)
                if (TField* field = fields->empty() ? &Column(*query.data, name) : query.data->FindField(name))
                    fields->push_back(field);
        query.incomplete = query.data->FindField("INCOMPLETE");
    } else {
        query.data->Next();
    }
    for (; !query.data->Eof(); query.data->Next()) {
        // A null name or table matches no column, as in a join.
        if (query.name->IsNull() || query.table->IsNull())
            continue;
        row.logId = query.id->AsInteger();
        row.place = Place(query.dbKey->AsString());
        row.table = query.table->AsString();
        row.name = query.name->AsString();
        auto take = [](const std::vector<TField*>& fields, bool& isNull, std::string& value) {
            isNull = true;
            value.clear();
            for (TField* field : fields)
                if (!field->IsNull()) {
                    isNull = false;
                    value = field->AsString();
                    return;
                }
        };
        take(query.newFields, row.newNull, row.newValue);
        row.hasOld = !query.oldFields.empty();
        take(query.oldFields, row.oldNull, row.oldValue);
        row.incomplete = query.incomplete && !query.incomplete->IsNull();
        return true;
    }
    return false;
}

std::unique_ptr<CFieldValue> CLogReader::MakeValue(const TValueRow& row) const
{
    const auto type = columnTypes.find(ColumnKey(row.table, row.name));
    if (type == columnTypes.end())
        return nullptr;
    return std::make_unique<CFieldValue>(
        type->second.code, std::make_unique<CFieldCast>(row.newNull, row.newValue),
        row.hasOld ? std::make_unique<CFieldCast>(row.oldNull, row.oldValue) : nullptr, row.name,
        type->second.subType, quoteNames);
}

std::unique_ptr<CLogRecord> CLogReader::Next()
{
    if (!merger->Next(entry, keyRows, fieldRows))
        return nullptr;
    auto values = [this](const std::vector<TValueRow>& rows) {
        TFieldList list;
        for (const TValueRow& row : rows)
            if (std::unique_ptr<CFieldValue> value = MakeValue(row)) {
                if (row.incomplete)
                    throw Norvane::CEIncompleteValue(row.logId, Trimmed(row.table), row.name);
                list.push_back(std::move(value));
            }
        return list;
    };
    ++read;
    return std::make_unique<CLogRecord>(entry.operation[0], includeComments, entry.tableName, entry.userName,
                                        entry.dateTime, values(keyRows), values(fieldRows), quoteNames);
}

}  // namespace NorvaneImpl
