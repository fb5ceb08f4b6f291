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
    TFieldList keys;
    TFieldList fields;
};

}  // namespace NorvaneImpl
