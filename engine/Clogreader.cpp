#include "engine/Clogreader.h"

#include "core/Resfuncs.h"
#include "db/Tdbmanager.h"
#include "engine/Cnorvane.h"
#include "locale/Messages.h"
#include "res/TextIds.h"

#include <algorithm>

namespace NorvaneImpl {

namespace {

TField& Column(TDataSet& data, const std::string& name)
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
    TField* name = nullptr;
    std::vector<TField*> newFields;
    std::vector<TField*> oldFields;
    TField* incomplete = nullptr;
};

std::string AboveFloor(std::string sql, const TParams& period)
{
    const std::size_t at = sql.find("lt.date_time >= :BEGD");
    if (at == std::string::npos || !period.FindParam("FLOOR"))
        return sql;
    return sql.insert(at, "lt.id > :FLOOR and ");
}

CLogReader::CLogReader(const TParams& aPeriod, bool aQuoteNames, bool aIncludeComments, TSkipEvent aOnSkip,
                       TSelectEvent aSelects)
    : period(std::make_unique<const TParams>(aPeriod)),
      quoteNames(aQuoteNames),
      includeComments(aIncludeComments),
      onSkip(std::move(aOnSkip)),
      selects(std::move(aSelects))
{
    TDBManager& db = TDBManager::GetInstance();
    // Every query reads forward only: a row is gone once the next one comes.
    log = db.OpenQuery(AboveFloor(LoadResourceText(BuiltinTexts::kLogEntries, "LOG"), *period), this->period.get(),
                       false);
    keyQuery = std::make_unique<TValueQuery>(BuiltinTexts::kLogPeriodKeys, "IBE$LOG_KEYS", "lk", "KEY_FIELD",
                                             TValueColumns{{"KEY_VALUE", "KEY_BYTES"}}, TValueColumns{});
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
        if (!schemaRead) {
            schema.Read(*period);
            ReadLogColumns();
            schemaRead = true;
        }
        // The values of the period's range of log ids: in storage order by
        // id, without the join with the entries that a period by time would
        // need. Rows of ids within the range whose entries lie outside the
        // period are passed over by the merger, which takes only the rows of
        // the entries it is given.
        TParams range;
        range.CreateParam(ftInteger, "FIRST_ID").SetAsInteger(schema.FirstId());
        range.CreateParam(ftInteger, "LAST_ID").SetAsInteger(schema.LastId());
        query.data = TDBManager::GetInstance().OpenQuery(ValuesQuery(query), &range, false);
        if (query.data->Eof())
            return false;
        query.id = &Column(*query.data, "LOG_TABLES_ID");
        query.dbKey = &Column(*query.data, "DB_KEY");
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
        // A null name matches no column, as in a join.
        if (query.name->IsNull())
            continue;
        row.logId = query.id->AsInteger();
        row.place = Place(query.dbKey->AsString());
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

std::unique_ptr<CLogRecord> CLogReader::Next()
{
    while (merger->Next(entry, keyRows, fieldRows)) {
        ++read;
        const TEntryChoice choice = selects ? selects(entry) : TEntryChoice::Take;
        if (choice == TEntryChoice::Skip)
            continue;
        // An entry filtered out matters only as the source, or the effect,
        // of a referential action.
        const bool filtered = choice == TEntryChoice::Filtered;
        if (filtered && schema.ForeignKeys().empty())
            continue;
        const std::string refusal = EntryRefusal(entry, keyRows, fieldRows, schema, quoteNames);
        if (!refusal.empty()) {
            if (filtered)
                continue;
            const CEInvalidEntry invalid(entry.id, entry.tableName, refusal);
            if (!onSkip)
                throw invalid;
            onSkip(invalid);
            continue;
        }
        std::unique_ptr<CLogRecord> record;
        try {
            record = MakeRecord(entry, keyRows, fieldRows, schema, quoteNames, includeComments);
        } catch (const Norvane::CEIncompleteValue&) {
            if (!filtered)
                throw;
            continue;
        }
        const std::size_t sequence = ++made;
        cascades.Examine(*record, sequence);
        if (!Give(*record, sequence, filtered))
            continue;
        if (onPartialMatch && keyRows.empty() &&
            static_cast<int>(record->GetFields().size()) < schema.StoredColumns(record->GetTableName()))
            onPartialMatch(record->GetAction(), record->GetTableName());
        return record;
    }
    return nullptr;
}

bool CLogReader::Give(CLogRecord& record, std::size_t sequence, bool filtered)
{
    // Until the first record left out, each record is given as the number
    // it was made as.
    if (filtered && givenAs.empty()) {
        givenAs.resize(kCascadeWindow);
        for (std::size_t earlier = sequence > kCascadeWindow ? sequence - kCascadeWindow + 1 : 1; earlier < sequence;
             ++earlier)
            givenAs[earlier % kCascadeWindow] = earlier;
    }
    // An effect goes with its source, whatever the filters say of it.
    const std::size_t distance = record.GetCascade().sourceDistance;
    std::size_t source = 0;
    bool give = !filtered;
    if (distance > 0) {
        source = givenAs.empty() ? sequence - distance : givenAs[(sequence - distance) % kCascadeWindow];
        give = source != 0;
    }
    if (!givenAs.empty())
        givenAs[sequence % kCascadeWindow] = give ? given + 1 : 0;
    if (!give)
        return false;
    ++given;
    if (distance > 0 && given - source != distance) {
        TCascade cascade = record.GetCascade();
        cascade.sourceDistance = given - source;
        record.SetCascade(std::move(cascade));
    }
    return true;
}

// ------------------------------------------------------ checks of an entry

std::string Printable(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            static const char digits[] = "0123456789ABCDEF";
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

CEInvalidEntry::CEInvalidEntry(long long aLogId, const std::string& tableName, const std::string& aReason)
    : std::range_error(ScriptMessage(msgInvalidEntry, {std::to_string(aLogId), Printable(tableName), aReason})),
      logId(aLogId), reason(aReason)
{
}

namespace {

bool HasControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const unsigned char byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// A name a statement can write without quotes: Latin capitals, digits, "_"
// and "$", beginning with a letter. A database without quoted names
// (dialect 1) can only be given such names.
bool IsBareName(const std::string& name)
{
    if (name.empty() || name[0] < 'A' || name[0] > 'Z')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    });
}

std::string NameList(const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + Printable(name);
    return list;
}

// Why the name cannot stand in a statement, in the words of the message for
// a control character or of the one for a name that needs quotes; empty
// when it can.
std::string NameRefusal(const std::string& control, const std::string& quotes, const std::string& name, bool quoteNames)
{
    if (HasControlCharacter(name))
        return ScriptMessage(control, {Printable(name)});
    if (!quoteNames && !IsBareName(name))
        return ScriptMessage(quotes, {name});
    return {};
}

}  // namespace

std::string EntryRefusal(const TEntryRow& entry, const std::vector<TValueRow>& keys,
                         const std::vector<TValueRow>& fields, const CSchema& schema, bool quoteNames)
{
    if (entry.operation.empty())
        return ScriptMessage(msgNoOperationLetter);
    const char letter = entry.operation[0];
    if (letter != 'I' && letter != 'U' && letter != 'D')
        return ScriptMessage(msgBadOperationLetter, {Printable(std::string(1, letter))});
    const TTableInfo* table = schema.Table(entry.tableName);
    if (!table)
        return ScriptMessage(msgNoSuchTable);
    if (!table->writable)
        return ScriptMessage(msgNotUserTable);
    std::string refusal = NameRefusal(msgTableNameControl, msgTableNameQuotes, table->name, quoteNames);
    if (!refusal.empty())
        return refusal;
    if (HasControlCharacter(entry.userName))
        return ScriptMessage(msgUserNameControl, {Printable(entry.userName)});

    // Each key column once, and exactly the key's columns.
    std::vector<std::string> named;
    for (const TValueRow& key : keys) {
        const std::string name = Trimmed(key.name);
        if (std::find(named.begin(), named.end(), name) != named.end())
            return ScriptMessage(msgKeyFieldTwice, {Printable(name)});
        if (std::find(table->key.begin(), table->key.end(), name) == table->key.end())
            return table->key.empty() ? ScriptMessage(msgKeyFieldNoKey, {Printable(name)})
                                      : ScriptMessage(msgKeyFieldNotInKey, {Printable(name), NameList(table->key)});
        named.push_back(name);
    }
    // A table without a primary key may have been logged without key rows:
    // its rows are then matched by their values.
    if (named.size() != table->key.size() && !(named.empty() && !table->primaryKey))
        return ScriptMessage(msgKeyIncomplete, {NameList(table->key)});

    named.clear();
    for (const TValueRow& field : fields) {
        const std::string name = Trimmed(field.name);
        if (std::find(named.begin(), named.end(), name) != named.end())
            return ScriptMessage(msgFieldTwice, {Printable(name)});
        named.push_back(name);
        if (table->Column(name) &&
            !(refusal = NameRefusal(msgFieldNameControl, msgFieldNameQuotes, name, quoteNames)).empty())
            return refusal;
    }
    for (const std::string& name : table->key)
        if (!(refusal = NameRefusal(msgKeyFieldNameControl, msgKeyFieldNameQuotes, name, quoteNames)).empty())
            return refusal;
    return {};
}

std::unique_ptr<CLogRecord> MakeRecord(const TEntryRow& entry, const std::vector<TValueRow>& keys,
                                       const std::vector<TValueRow>& fields, const CSchema& schema,
                                       bool quoteNames, bool includeComments)
{
    const TTableInfo& table = *schema.Table(entry.tableName);
    auto values = [&](const std::vector<TValueRow>& rows) {
        TFieldList list;
        for (const TValueRow& row : rows) {
            const std::string name = Trimmed(row.name);
            const TColumnInfo* column = table.Column(name);
            if (!column)
                continue;
            if (row.incomplete)
                throw Norvane::CEIncompleteValue(row.logId, table.name, name);
            list.push_back(std::make_unique<CFieldValue>(
                column->code, std::make_unique<CFieldCast>(row.newNull, row.newValue),
                row.hasOld ? std::make_unique<CFieldCast>(row.oldNull, row.oldValue) : nullptr, name,
                column->subType, quoteNames, column->charsetId == kOctets));
        }
        return list;
    };
    return std::make_unique<CLogRecord>(entry.operation[0], includeComments, table.name, entry.userName,
                                        entry.dateTime, values(keys), values(fields), quoteNames);
}

// --------------------------------------------------------- TCascadeFinder

namespace {

// A value of a column before or after a record's change, as logged: known
// or not, and null or a text.
struct TLoggedValue {
    bool known = false;
    bool null = false;
    std::string text;
    bool operator==(const TLoggedValue& other) const
    {
        return known && other.known && null == other.null && (null || text == other.text);
    }
};

TLoggedValue ValueOf(const CLogRecord& record, const std::string& column, bool old)
{
    TLoggedValue value;
    auto take = [&value](const CFieldCast* cast) {
        value.known = cast != nullptr;
        if (cast) {
            value.null = cast->isNull;
            // A CHAR's padding does not tell two values apart.
            value.text = Trimmed(cast->value);
        }
    };
    for (const auto& field : record.GetFields())
        if (field->GetName() == column) {
            take(old ? field->GetOldValue() : field->GetNewValue());
            return value;
        }
    // A key column the change left alone.
    for (const auto& key : record.GetKeys())
        if (key->GetName() == column)
            take(key->GetNewValue());
    return value;
}

bool Changed(const CLogRecord& record, const std::string& column)
{
    for (const auto& field : record.GetFields())
        if (field->GetName() == column)
            return field->GetOldValue() && !(ValueOf(record, column, true) == ValueOf(record, column, false));
    return false;
}

// The values of the columns picked from a foreign key's as one text: the
// key's number and which of its columns, then each value with its length,
// so that no two lists make the same text. Empty when a value is not known.
std::string Tuple(std::size_t key, const CLogRecord& record, const std::vector<std::string>& columns,
                  const std::vector<bool>& picked)
{
    std::string tuple = std::to_string(key) + "#";
    for (std::size_t i = 0; i < columns.size(); ++i)
        tuple += picked[i] ? '1' : '0';
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!picked[i])
            continue;
        const TLoggedValue value = ValueOf(record, columns[i], true);
        if (!value.known)
            return {};
        tuple += value.null ? std::string("|-") : "|" + std::to_string(value.text.size()) + ":" + value.text;
    }
    return tuple;
}

}  // namespace

struct TCascadeFinder::TSource {
    std::size_t sequence;
    char action;
    std::vector<TLoggedValue> newValues;  // of the referred columns, after an update
};

TCascadeFinder::TCascadeFinder(const CSchema& aSchema) : schema(aSchema) {}

TCascadeFinder::~TCascadeFinder() = default;

void TCascadeFinder::Examine(CLogRecord& record, std::size_t sequence)
{
    if (schema.ForeignKeys().empty())
        return;
    while (oldest < kept.size() && kept[oldest].first + kCascadeWindow <= sequence) {
        const auto found = sources.find(kept[oldest].second);
        if (found != sources.end() && found->second.sequence == kept[oldest].first)
            sources.erase(found);
        ++oldest;
    }
    if (oldest > kept.size() / 2 && oldest > 1024) {
        kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(oldest));
        oldest = 0;
    }
    const char action = record.GetAction();
    if (action != 'U' && action != 'D')
        return;

    // An effect of an earlier record: found by the old values of the
    // referring columns it changed (an update's log holds no others) or, for
    // a delete, of all of them. An action's effects are logged right after
    // their source, so of the sources that changed the same values the
    // latest is the one.
    for (const std::size_t number : schema.ReferringFrom(record.GetTableName())) {
        const TForeignKey& key = schema.ForeignKeys()[number];
        std::vector<bool> changed(key.childColumns.size(), action == 'D');
        if (action == 'U')
            for (std::size_t i = 0; i < changed.size(); ++i)
                changed[i] = Changed(record, key.childColumns[i]);
        if (std::find(changed.begin(), changed.end(), true) == changed.end())
            continue;
        const std::string tuple = Tuple(number, record, key.childColumns, changed);
        const auto found = tuple.empty() ? sources.end() : sources.find(tuple);
        if (found == sources.end())
            continue;
        const TSource& source = found->second;
        const TRefAction rule = source.action == 'U' ? key.onUpdate : key.onDelete;
        TCascade cascade{sequence - source.sequence, {}, source.action == 'U' && rule == TRefAction::Cascade};
        bool effect = rule != TRefAction::None;
        if (rule == TRefAction::Cascade && source.action == 'D') {
            effect = action == 'D';
        } else if (effect) {
            effect = action == 'U';
            for (std::size_t i = 0; i < changed.size() && effect; ++i) {
                if (!changed[i])
                    continue;
                cascade.columns.push_back(key.childColumns[i]);
                const TLoggedValue now = ValueOf(record, key.childColumns[i], false);
                if (rule == TRefAction::Cascade)
                    effect = now == source.newValues[i];
                else if (rule == TRefAction::SetNull)
                    effect = now.known && now.null;
            }
        }
        if (effect) {
            record.SetCascade(std::move(cascade));
            break;
        }
    }

    // A source of the records that follow, kept by the old values of the
    // referred columns it changed, and of all of them.
    for (const std::size_t number : schema.ReferringTo(record.GetTableName())) {
        const TForeignKey& key = schema.ForeignKeys()[number];
        if ((action == 'U' ? key.onUpdate : key.onDelete) == TRefAction::None)
            continue;
        TSource source{sequence, action, {}};
        std::vector<bool> all(key.parentColumns.size(), true);
        std::vector<bool> changed = all;
        if (action == 'U') {
            for (std::size_t i = 0; i < changed.size(); ++i) {
                source.newValues.push_back(ValueOf(record, key.parentColumns[i], false));
                changed[i] = Changed(record, key.parentColumns[i]);
            }
            if (std::find(changed.begin(), changed.end(), true) == changed.end())
                continue;
        }
        for (const std::vector<bool>* picked : {&changed, &all}) {
            if (picked == &all && changed == all)
                break;
            std::string tuple = Tuple(number, record, key.parentColumns, *picked);
            if (tuple.empty())
                continue;
            sources[tuple] = source;
            kept.emplace_back(sequence, std::move(tuple));
        }
    }
}

std::vector<TGeneratorValue> ReadGenerators(bool quoteNames)
{
    std::vector<TGeneratorValue> generators;
    TDBManager& db = TDBManager::GetInstance();
    std::unique_ptr<TDataSet> names =
        db.OpenQuery(LoadResourceText(BuiltinTexts::kLogGenerators, "LOG"), nullptr, false);
    for (; !names->Eof(); names->Next())
        generators.push_back({names->Fields(0).AsString(), 0});
    // Their values, a few hundred a query; gen_id with a step of 0 only reads.
    constexpr std::size_t kPerQuery = 200;
    for (std::size_t first = 0; first < generators.size(); first += kPerQuery) {
        const std::size_t last = std::min(generators.size(), first + kPerQuery);
        std::string sql;
        for (std::size_t i = first; i < last; ++i)
            sql += (sql.empty() ? "select " : ", ") + std::string("gen_id(") +
                   SQLName(generators[i].name, quoteNames) + ", 0)";
        std::unique_ptr<TDataSet> values = db.OpenQuery(sql + " from rdb$database");
        for (std::size_t i = first; i < last; ++i)
            generators[i].value = values->Fields(i - first).AsInteger();
    }
    return generators;
}

TReadAhead::TReadAhead(CLogReader& aReader)
    : reader(aReader), thread([this, name = TScriptCharset::Name(), encoding = TScriptCharset::Encoding()] {
          const TScriptCharset charset(name, encoding);
          Read();
      })
{
}

TReadAhead::~TReadAhead()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    changed.notify_all();
    thread.join();
}

bool TReadAhead::Next(TItem& item)
{
    if (taken == batch.size()) {
        batch.clear();
        taken = 0;
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return !ready.empty() || ended; });
        if (ready.empty()) {
            if (error)
                std::rethrow_exception(error);
            return false;
        }
        batch.swap(ready);
        changed.notify_all();
    }
    item = std::move(batch[taken++]);
    return true;
}

void TReadAhead::Read()
{
    std::vector<TItem> reading;
    try {
        for (bool more = true; more;) {
            TItem item;
            item.record = reader.Next();
            more = item.record != nullptr;
            if (more) {
                item.id = reader.Entry().id;
                item.total = reader.Total();
                item.read = reader.Read();
                reading.push_back(std::move(item));
                if (reading.size() < kBatch)
                    continue;
            }
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return ready.empty() || stop; });
            if (stop)
                return;
            ready.swap(reading);
            reading.clear();
            ended = !more;
            changed.notify_all();
        }
    } catch (...) {
        std::unique_lock<std::mutex> lock(mutex);
        // What was read before the failure is taken first.
        changed.wait(lock, [this] { return ready.empty() || stop; });
        ready.swap(reading);
        error = std::current_exception();
        ended = true;
        changed.notify_all();
    }
}

}  // namespace NorvaneImpl
