#include "engine/Cschema.h"

#include "app/core/Resfuncs.h"
#include "db/Tdbmanager.h"
#include "engine/Clogreader.h"
#include "res/TextIds.h"

namespace NorvaneImpl {

namespace {

// The code of an array's id, given to array columns.
constexpr int kArrayType = 9;

TField& ColumnOf(TDataSet& data, const std::string& name)
{
    TField* field = data.FindField(name);
    if (!field)
        throw Exception("Field '" + name + "' not found");
    return *field;
}

std::string ColumnKey(const std::string& table, const std::string& column)
{
    return Trimmed(table) + '\0' + Trimmed(column);
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// The engine's own tables, the IDE's (the change log among them) and this
// program's own bookkeeping on a target, which no logged change of the
// user's may touch.
bool IsOwnTable(const std::string& name)
{
    return StartsWith(name, "RDB$") || StartsWith(name, "MON$") || StartsWith(name, "SEC$") ||
           StartsWith(name, "IBE$") || StartsWith(name, "NORVANE$");
}

}  // namespace

std::string Trimmed(std::string name)
{
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

void CSchema::Read(const TParams& period)
{
    ReadColumns(period);
    ReadTables();
}

void CSchema::AddTable(TTableInfo table)
{
    table.name = Trimmed(table.name);
    std::string name = table.name;
    tables[name] = std::move(table);
}

void CSchema::AddColumn(const std::string& table, const std::string& column, TColumnInfo info)
{
    columns[ColumnKey(table, column)] = info;
}

const TTableInfo* CSchema::Table(const std::string& name) const
{
    const auto found = tables.find(Trimmed(name));
    return found == tables.end() ? nullptr : &found->second;
}

const TColumnInfo* CSchema::Column(const std::string& table, const std::string& column) const
{
    const auto found = columns.find(ColumnKey(table, column));
    return found == columns.end() ? nullptr : &found->second;
}

void CSchema::ReadColumns(const TParams& period)
{
    std::unique_ptr<TDataSet> data =
        TDBManager::GetInstance().OpenQuery(AboveFloor(LoadResourceText(BuiltinTexts::kLogPeriodColumns, "LOG"), period),
                                            &period, false);
    if (data->Eof())
        return;
    TField& count = ColumnOf(*data, "ENTRIES");
    firstId = ColumnOf(*data, "FIRST_ID").AsInteger();
    lastId = ColumnOf(*data, "LAST_ID").AsInteger();
    TField& table = ColumnOf(*data, "RDB$RELATION_NAME");
    TField& column = ColumnOf(*data, "RDB$FIELD_NAME");
    TField& type = ColumnOf(*data, "RDB$FIELD_TYPE");
    TField& subType = ColumnOf(*data, "RDB$FIELD_SUB_TYPE");
    TField& dimensions = ColumnOf(*data, "RDB$DIMENSIONS");
    TField& charset = ColumnOf(*data, "RDB$CHARACTER_SET_ID");
    // The number of entries comes with every column.
    entries = static_cast<int>(count.AsInteger());
    for (; !data->Eof(); data->Next()) {
        // A column matches as in an inner join with both system tables.
        if (column.IsNull() || type.IsNull())
            continue;
        // An array column's type is that of its elements; its values are
        // the array's id, which has no literal.
        const int code = dimensions.AsInteger() > 0 ? kArrayType : static_cast<int>(type.AsInteger() & 0xFF);
        AddColumn(table.AsString(), column.AsString(),
                  TColumnInfo{code, static_cast<int>(subType.AsInteger()), static_cast<int>(charset.AsInteger())});
    }
}

void CSchema::ReadTables()
{
    std::unique_ptr<TDataSet> data =
        TDBManager::GetInstance().OpenQuery(LoadResourceText(BuiltinTexts::kLogTables, "LOG"), nullptr, false);
    if (data->Eof())
        return;
    TField& relation = ColumnOf(*data, "RDB$RELATION_NAME");
    TField& system = ColumnOf(*data, "SYSTEM_FLAG");
    TField& view = ColumnOf(*data, "IS_VIEW");
    TField& type = ColumnOf(*data, "RELATION_TYPE");
    TField& constraintType = ColumnOf(*data, "RDB$CONSTRAINT_TYPE");
    TField& constraint = ColumnOf(*data, "RDB$CONSTRAINT_NAME");
    TField& keyField = ColumnOf(*data, "KEY_FIELD");
    TField& notNull = ColumnOf(*data, "NOT_NULL");

    // The rows come by table, its primary key first, then its unique
    // constraints by name, each constraint's columns in key order.
    TTableInfo table;
    std::string unique;         // the unique constraint whose columns are being read
    std::vector<std::string> uniqueColumns;
    bool allNotNull = true;
    auto endUnique = [&]() {
        if (!unique.empty() && table.key.empty() && allNotNull && !uniqueColumns.empty())
            table.key = uniqueColumns;
        unique.clear();
        uniqueColumns.clear();
        allNotNull = true;
    };
    for (; !data->Eof(); data->Next()) {
        const std::string name = Trimmed(relation.AsString());
        if (name != table.name) {
            endUnique();
            if (!table.name.empty())
                AddTable(std::move(table));
            table = TTableInfo{};
            table.name = name;
            table.writable = system.AsInteger() == 0 && view.AsInteger() == 0 && type.AsInteger() == 0 &&
                             !IsOwnTable(name);
        }
        if (constraint.IsNull() || keyField.IsNull())
            continue;
        const std::string kind = Trimmed(constraintType.AsString());
        const std::string field = Trimmed(keyField.AsString());
        if (kind == "PRIMARY KEY") {
            table.key.push_back(field);
            table.primaryKey = true;
            continue;
        }
        const std::string constraintName = Trimmed(constraint.AsString());
        if (constraintName != unique) {
            endUnique();
            unique = constraintName;
        }
        uniqueColumns.push_back(field);
        allNotNull = allNotNull && notNull.AsInteger() != 0;
    }
    endUnique();
    if (!table.name.empty())
        AddTable(std::move(table));
}

}  // namespace NorvaneImpl
