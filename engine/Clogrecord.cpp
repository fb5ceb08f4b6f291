#include "engine/Clogrecord.h"

#include "engine/Cstringaccumulator.h"
#include "locale/Messages.h"

#include <algorithm>

using StringAccumulator::Accumulate;
using StringAccumulator::CEEmptyStrList;

CEUnknownActionLetter::CEUnknownActionLetter(char letter)
    : std::range_error(msgUnknownOperation + ": " + std::string(1, letter))
{
}

namespace NorvaneImpl {

CLogRecord::CLogRecord(char aAction, bool aIncludeComments, std::string aTableName, std::string aUserName,
                       std::string aDateTime, TFieldList aKeys, TFieldList aFields, bool quoteNames)
    : includeComments(aIncludeComments),
      action(aAction),
      tableName(std::move(aTableName)),
      sqlTableName(SQLName(this->tableName, quoteNames)),
      userName(std::move(aUserName)),
      dateTime(std::move(aDateTime)),
      keys(std::move(aKeys)),
      fields(std::move(aFields))
{
}

std::string CLogRecord::GetStatement(bool reproducing) const
{
    try {
        std::string text;
        if (includeComments)
            text += GetComment();
        switch (action) {
        case 'I':
            text += reproducing ? GetInsertStatement(true) : GetDeleteStatement(false);
            break;
        case 'U':
            text += GetUpdateStatement(reproducing);
            break;
        case 'D':
            text += reproducing ? GetDeleteStatement(true) : GetInsertStatement(false);
            break;
        default:
            throw CEUnknownActionLetter(action);
        }
        return text;
    } catch (const CEEmptyStrList&) {
        // Nothing to list or to match by: no statement, and no comment either.
        return {};
    } catch (CEUnknownIBType& e) {
        e.SetTableName(tableName);
        throw;
    }
}

std::string CLogRecord::GetReproducingStatement() const { return GetStatement(true); }
std::string CLogRecord::GetUndoStatement() const { return GetStatement(false); }

// The comment's texts come from the log and from the language file; an end
// mark among them would end the comment early and make the rest of the line
// a statement, so each is written "* /". A control character is written "?":
// isql ends a line at a NUL, which would leave the comment open, and a line
// break would put the rest on a line of its own.
static std::string CommentText(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    for (size_t at = text.find("*/"); at != std::string::npos; at = text.find("*/", at + 3))
        text.insert(at + 1, 1, ' ');
    return text;
}

std::string CLogRecord::GetComment() const
{
    return "/* " + CommentText(dateTime) + "   " + CommentText(TScriptCharset::ProgramText(msgUser)) + ": " +
           CommentText(userName) + " */\n";
}

std::string CLogRecord::GetInsertStatement(bool newValues) const
{
    std::string columns = Accumulate(false, fields.begin(), fields.end(), &CFieldValue::GetSQLName, ", ");
    std::string values = Accumulate(false, fields.begin(), fields.end(),
                                    newValues ? &CFieldValue::GetNewSQL : &CFieldValue::GetOldSQL, ", ");
    return "insert into " + sqlTableName + "\n(" + columns + ")\nvalues (" + values + ")";
}

std::string CLogRecord::GetUpdateStatement(bool reproducing) const
{
    std::string setList;
    if (keys.empty()) {
        // Found by its values, a row's update may log every column, the
        // unchanged ones for the condition alone.
        for (const auto& field : fields)
            if (!field->Unchanged())
                setList += (setList.empty() ? "" : ", ") +
                           (reproducing ? field->GetNewEquality() : field->GetOldEquality());
        if (setList.empty())
            throw CEEmptyStrList();
    } else {
        setList = Accumulate(false, fields.begin(), fields.end(),
                             reproducing ? &CFieldValue::GetNewEquality : &CFieldValue::GetOldEquality, ", ");
    }
    std::string condition = GetWhereClause(reproducing);
    return "update " + sqlTableName + "\nset " + setList + "\nwhere " + condition + RowLimit();
}

std::string CLogRecord::GetDeleteStatement(bool reproducing) const
{
    return "delete from " + sqlTableName + "\nwhere " + GetWhereClause(reproducing) + RowLimit();
}

std::string CLogRecord::RowLimit() const
{
    return keys.empty() ? "\nrows 1" : std::string();
}

std::string CLogRecord::ConditionTerm(const CFieldValue& field, bool reproducing) const
{
    const bool byCascade = std::find(cascade.columns.begin(), cascade.columns.end(), field.GetName()) !=
                           cascade.columns.end();
    // A column a referential action changed holds what the action left: its
    // new value when the action has been repeated, its old one when the
    // source's undo reversed it.
    if (byCascade)
        return reproducing || !cascade.undoneBySource ? field.GetNewCondition() : field.GetOldCondition();
    return reproducing ? field.GetOldCondition() : field.GetNewCondition();
}

std::string CLogRecord::GetWhereClause(bool reproducing) const
{
    if (!keys.empty()) {
        // A key column that an update changed is matched by the value it
        // has on the database the statement runs on: its old value when
        // reproducing, its new value when undoing. Which of the two the
        // logged key holds is the logging trigger's choice.
        std::string condition;
        for (const auto& key : keys) {
            std::string term = key->GetKeyCondition();
            for (const auto& field : fields) {
                if (field->GetName() != key->GetName())
                    continue;
                if (!reproducing && field->GetNewValue())
                    term = ConditionTerm(*field, reproducing);
                else if (reproducing && action == 'U' && field->GetOldValue())
                    term = ConditionTerm(*field, reproducing);
                break;
            }
            condition += (condition.empty() ? "" : " AND ") + term;
        }
        return condition;
    }
    // No keys logged: match by every changed field, as the row stands on the
    // database the statement runs on.
    if (fields.empty())
        throw StringAccumulator::CEEmptyStrList();
    std::string condition;
    for (const auto& field : fields)
        condition += (condition.empty() ? "" : " AND ") + ConditionTerm(*field, reproducing);
    return condition;
}

}  // namespace NorvaneImpl
