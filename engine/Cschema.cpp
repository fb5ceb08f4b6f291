#include "engine/Cschema.h"

#include "core/Resfuncs.h"
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

// Looks a name up as SQL compares it, copying it only when it has trailing
// blanks, which the names a log holds seldom have.
template <class Map>
auto Find(const Map& map, const std::string& name)
{
    return !name.empty() && name.back() == ' ' ? map.find(Trimmed(name)) : map.find(name);
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
    ReadForeignKeys();
}

void CSchema::AddForeignKey(TForeignKey key)
{
    if (key.onUpdate == TRefAction::None && key.onDelete == TRefAction::None)
        return;
    byParent[Trimmed(key.parentTable)].push_back(foreignKeys.size());
    byChild[Trimmed(key.childTable)].push_back(foreignKeys.size());
    foreignKeys.push_back(std::move(key));
}

const std::vector<std::size_t>& CSchema::ReferringTo(const std::string& table) const
{
    static const std::vector<std::size_t> none;
    const auto found = byParent.find(Trimmed(table));
    return found == byParent.end() ? none : found->second;
}

const std::vector<std::size_t>& CSchema::ReferringFrom(const std::string& table) const
{
    static const std::vector<std::size_t> none;
    const auto found = byChild.find(Trimmed(table));
    return found == byChild.end() ? none : found->second;
}

namespace {

TRefAction RefAction(const std::string& rule)
{
    const std::string name = Trimmed(rule);
    if (name == "CASCADE")
        return TRefAction::Cascade;
    if (name == "SET NULL")
        return TRefAction::SetNull;
    if (name == "SET DEFAULT")
        return TRefAction::SetDefault;
    return TRefAction::None;  // RESTRICT, NO ACTION
}

}  // namespace

void CSchema::ReadForeignKeys()
{
    std::unique_ptr<TDataSet> data =
        TDBManager::GetInstance().OpenQuery(LoadResourceText(BuiltinTexts::kLogReferences, "LOG"), nullptr, false);
    if (data->Eof())
        return;
    TField& child = ColumnOf(*data, "CHILD_TABLE");
    TField& name = ColumnOf(*data, "RDB$CONSTRAINT_NAME");
    TField& onUpdate = ColumnOf(*data, "RDB$UPDATE_RULE");
    TField& onDelete = ColumnOf(*data, "RDB$DELETE_RULE");
    TField& parent = ColumnOf(*data, "PARENT_TABLE");
    TField& childField = ColumnOf(*data, "CHILD_FIELD");
    TField& parentField = ColumnOf(*data, "PARENT_FIELD");
    // The rows come by constraint, its columns in key order.
    TForeignKey key;
    for (; !data->Eof(); data->Next()) {
        const std::string constraint = Trimmed(name.AsString());
        if (constraint != key.name) {
            if (!key.name.empty())
                AddForeignKey(std::move(key));
            key = TForeignKey{constraint,
                              Trimmed(child.AsString()),
                              {},
                              Trimmed(parent.AsString()),
                              {},
                              RefAction(onUpdate.AsString()),
                              RefAction(onDelete.AsString())};
        }
        key.childColumns.push_back(Trimmed(childField.AsString()));
        key.parentColumns.push_back(Trimmed(parentField.AsString()));
    }
    if (!key.name.empty())
        AddForeignKey(std::move(key));
}

void CSchema::AddTable(TTableInfo table)
{
    table.name = Trimmed(table.name);
    TTableInfo& known = tables[table.name];
    // Its columns may have come first.
    table.columns.merge(known.columns);
    known = std::move(table);
}

void CSchema::AddColumn(const std::string& table, const std::string& column, TColumnInfo info)
{
    TTableInfo& known = tables[Trimmed(table)];
    if (known.name.empty())
        known.name = Trimmed(table);
    known.columns[Trimmed(column)] = info;
}

const TTableInfo* CSchema::Table(const std::string& name) const
{
    const auto found = Find(tables, name);
    return found == tables.end() ? nullptr : &found->second;
}

const TColumnInfo* CSchema::Column(const std::string& table, const std::string& column) const
{
    const TTableInfo* known = Table(table);
    return known ? known->Column(column) : nullptr;
}

const TColumnInfo* TTableInfo::Column(const std::string& column) const
{
    const auto found = Find(columns, column);
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
    TField& first = ColumnOf(*data, "FIRST_ID");
    TField& last = ColumnOf(*data, "LAST_ID");
    TField& table = ColumnOf(*data, "RDB$RELATION_NAME");
    TField& column = ColumnOf(*data, "RDB$FIELD_NAME");
    TField& type = ColumnOf(*data, "RDB$FIELD_TYPE");
    TField& subType = ColumnOf(*data, "RDB$FIELD_SUB_TYPE");
    TField& dimensions = ColumnOf(*data, "RDB$DIMENSIONS");
    TField& charset = ColumnOf(*data, "RDB$CHARACTER_SET_ID");
    TField& computed = ColumnOf(*data, "COMPUTED");
    // The number of entries comes with every column.
    entries = static_cast<int>(count.AsInteger());
    firstId = first.AsInteger();
    lastId = last.AsInteger();
    for (; !data->Eof(); data->Next()) {
        // A column matches as in an inner join with both system tables.
        if (column.IsNull() || type.IsNull())
            continue;
        // An array column's type is that of its elements; its values are
        // the array's id, which has no literal.
        const int code = dimensions.AsInteger() > 0 ? kArrayType : static_cast<int>(type.AsInteger() & 0xFF);
        AddColumn(table.AsString(), column.AsString(),
                  TColumnInfo{code, static_cast<int>(subType.AsInteger()), static_cast<int>(charset.AsInteger())});
        if (computed.AsInteger() == 0)
            ++storedColumns[Trimmed(table.AsString())];
    }
}

int CSchema::StoredColumns(const std::string& table) const
{
    const auto found = storedColumns.find(Trimmed(table));
    return found == storedColumns.end() ? 0 : found->second;
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
