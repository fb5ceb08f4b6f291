#pragma once
#include "engine/Cfieldvalue.h"
#include "xml/Xmlwriter.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Raised when a statement is asked of a record whose operation letter is not
// I, U or D. Its text is msgUnknownOperation, ": " and the letter.
class CEUnknownActionLetter : public std::range_error {
public:
    explicit CEUnknownActionLetter(char letter);
};

namespace NorvaneImpl {

using TFieldList = std::vector<std::unique_ptr<const CFieldValue>>;

// A change that the database's referential action made to a row (ON UPDATE
// or ON DELETE CASCADE, SET NULL, SET DEFAULT) because an earlier entry, its
// source, changed the key of the row it refers to or deleted that row. The
// log holds the source first, then its effects.
//
// Run again, the source makes the target's engine repeat the action, so an
// effect's statement comes after it and finds its row as the action left
// it: a changed key column that the action changed holds its new value.
// Undone, the effect's statement comes right after its source's undo (the
// source's row must be back before a row can refer to it again), and the
// action's columns hold their old values again when the source's undo
// reversed a CASCADE update itself, and their new values otherwise.
struct TCascade {
    // How many records back the source is; 0 for a record that is no effect.
    std::size_t sourceDistance = 0;
    std::vector<std::string> columns;  // the columns of the row that the action changed
    bool undoneBySource = false;       // a CASCADE update, which the source's undo reverses
};

// The number of records within which an effect's source is looked for, and
// the scripts keep track of what they need to put an effect after its
// source.
constexpr std::size_t kCascadeWindow = 1 << 16;

// One logged change: a row of IBE$LOG_TABLES with its key values and its
// changed field values. Gives the statement that repeats the change and the
// one that cancels it.
class CLogRecord {
public:
    // quoteNames: statements write the table name by SQLName with quoting
    // (the fields carry their own choice).
    CLogRecord(char action, bool includeComments, std::string tableName, std::string userName,
               std::string dateTime, TFieldList keys, TFieldList fields, bool quoteNames = false);
    CLogRecord(const CLogRecord&) = delete;
    CLogRecord& operator=(const CLogRecord&) = delete;

    // true: the reproducing statement, false: the undo statement. Empty when
    // the record has nothing to say (no fields, or no condition to match by).
    std::string GetStatement(bool reproducing) const;
    std::string GetReproducingStatement() const;
    std::string GetUndoStatement() const;

    // Appends the record's Record element to the document's root element.
    void AddXMLElement(XMLutil::TXMLDocument& document) const;
    // Writes the same Record element with a writer standing in the root.
    void WriteXMLElement(XMLutil::TXMLWriter& writer) const;

    // Marks the record as the effect of a referential action (TCascade).
    void SetCascade(TCascade aCascade) { cascade = std::move(aCascade); }
    const TCascade& GetCascade() const { return cascade; }

    char GetAction() const { return action; }
    const std::string& GetTableName() const { return tableName; }
    const std::string& GetUserName() const { return userName; }
    const std::string& GetDateTime() const { return dateTime; }
    const TFieldList& GetKeys() const { return keys; }
    const TFieldList& GetFields() const { return fields; }

private:
    std::string GetComment() const;
    std::string GetInsertStatement(bool newValues) const;
    std::string GetUpdateStatement(bool reproducing) const;
    std::string GetDeleteStatement(bool reproducing) const;
    std::string GetWhereClause(bool reproducing) const;
    // Statements that match by a condition made of the fields, with no key,
    // change at most one row: the one logged.
    std::string RowLimit() const;

    bool includeComments;
    char action;
    std::string tableName;
    std::string sqlTableName;
    std::string userName;
    std::string dateTime;
    // The condition term of a column as the row holds it where the
    // statement runs; field is the column's logged change.
    std::string ConditionTerm(const CFieldValue& field, bool reproducing) const;

    TFieldList keys;
    TFieldList fields;
    TCascade cascade;
};

}  // namespace NorvaneImpl
