#include "db/Dbmanagererror.h"

#include "db/Tdbmanager.h"
#include "locale/Messages.h"

// The texts come from the message catalogue, in the language chosen when
// the error is made.
namespace {

std::string ComposeQueryMessage(const std::string& message, const TParams* params, const std::string& queryText)
{
    std::string text = message + "\n" + msgDbQueryText + "\n" + queryText;
    if (!params)
        return text;
    text += "\n" + msgDbParamValues + "\n";
    for (size_t i = 0; i < params->Count(); ++i) {
        const TParam& param = (*params)[i];
        text += param.Name;
        text += " = ";
        text += param.IsNull() ? std::string("NULL") : param.AsString();
        // An exact, case-sensitive search: a parameter "id" is not in ":ID".
        if (queryText.find(":" + param.Name) == std::string::npos)
            text += " " + msgDbNotInQuery;
        text += '\n';
    }
    return text;
}

}  // namespace

ConnectError::ConnectError(const std::string& libraryMessage, const std::string& databaseName)
    : DBManagerError(msgDbConnectFailed + "\n" + libraryMessage + "\n" + msgDbLocation + "\n" + databaseName)
{
}

TranError::TranError() : DBManagerError(msgDbNoTransaction) {}

TranError::TranError(const std::string& message) : DBManagerError(message) {}

QryError::QryError(const std::string& message, const TParams* params, const std::string& queryText)
    : DBManagerError(ComposeQueryMessage(message, params, queryText))
{
}

SQLError::SQLError(const std::string& libraryMessage, const TParams* params, const std::string& queryText)
    : QryError(msgDbQueryFailed + "\n" + libraryMessage, params, queryText)
{
}

CharsetError::CharsetError(const std::string& libraryMessage, const TParams* params, const std::string& queryText,
                           std::string characterSet)
    : SQLError(libraryMessage, params, queryText), CharacterSet(std::move(characterSet))
{
}

TooShortSQLError::TooShortSQLError(const std::string& queryText) : QryError(msgDbTooShort, nullptr, queryText) {}
