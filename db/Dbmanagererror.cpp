#include "db/Dbmanagererror.h"

#include "db/Tdbmanager.h"

// The texts are Windows-1251 bytes, written as escapes; each carries its
// Russian wording beside it.
namespace {

// "Ошибка при попытке подключения к базе данных:\n"
const char kConnectFailed[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xEF\xEE\xEF\xFB\xF2\xEA\xE5 \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xE8\xFF "
    "\xEA \xE1\xE0\xE7\xE5 \xE4\xE0\xED\xED\xFB\xF5:\n";
// "\nРасположение базы данных:\n"
const char kDatabaseLocation[] = "\n\xD0\xE0\xF1\xEF\xEE\xEB\xEE\xE6\xE5\xED\xE8\xE5 \xE1\xE0\xE7\xFB \xE4\xE0\xED\xED\xFB\xF5:\n";
// "Невозможно выполнить запрос, так как отсутствует активная транзакция"
const char kNoTransaction[] =
    "\xCD\xE5\xE2\xEE\xE7\xEC\xEE\xE6\xED\xEE \xE2\xFB\xEF\xEE\xEB\xED\xE8\xF2\xFC \xE7\xE0\xEF\xF0\xEE\xF1, "
    "\xF2\xE0\xEA \xEA\xE0\xEA \xEE\xF2\xF1\xF3\xF2\xF1\xF2\xE2\xF3\xE5\xF2 \xE0\xEA\xF2\xE8\xE2\xED\xE0\xFF "
    "\xF2\xF0\xE0\xED\xE7\xE0\xEA\xF6\xE8\xFF";
// "\nТекст запроса:\n"
const char kQueryText[] = "\n\xD2\xE5\xEA\xF1\xF2 \xE7\xE0\xEF\xF0\xEE\xF1\xE0:\n";
// "\nЗначения параметров:\n"
const char kParamValues[] = "\n\xC7\xED\xE0\xF7\xE5\xED\xE8\xFF \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xEE\xE2:\n";
// " Нет в запросе"
const char kNotInQuery[] = " \xCD\xE5\xF2 \xE2 \xE7\xE0\xEF\xF0\xEE\xF1\xE5";
// "Ошибка при попытке выполнения запроса:\n"
const char kQueryFailed[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xEF\xEE\xEF\xFB\xF2\xEA\xE5 \xE2\xFB\xEF\xEE\xEB\xED\xE5\xED\xE8\xFF "
    "\xE7\xE0\xEF\xF0\xEE\xF1\xE0:\n";
// "Текст запроса подозрительно короткий"
const char kTooShort[] =
    "\xD2\xE5\xEA\xF1\xF2 \xE7\xE0\xEF\xF0\xEE\xF1\xE0 \xEF\xEE\xE4\xEE\xE7\xF0\xE8\xF2\xE5\xEB\xFC\xED\xEE "
    "\xEA\xEE\xF0\xEE\xF2\xEA\xE8\xE9";

std::string ComposeQueryMessage(const std::string& message, const TParams* params, const std::string& queryText)
{
    std::string text = message + kQueryText + queryText;
    if (!params)
        return text;
    text += kParamValues;
    for (size_t i = 0; i < params->Count(); ++i) {
        const TParam& param = (*params)[i];
        text += param.Name;
        text += " = ";
        text += param.IsNull() ? std::string("NULL") : param.AsString();
        // An exact, case-sensitive search: a parameter "id" is not in ":ID".
        if (queryText.find(":" + param.Name) == std::string::npos)
            text += kNotInQuery;
        text += '\n';
    }
    return text;
}

}  // namespace

ConnectError::ConnectError(const std::string& libraryMessage, const std::string& databaseName)
    : DBManagerError(kConnectFailed + libraryMessage + kDatabaseLocation + databaseName)
{
}

TranError::TranError() : DBManagerError(kNoTransaction) {}

TranError::TranError(const std::string& message) : DBManagerError(message) {}

QryError::QryError(const std::string& message, const TParams* params, const std::string& queryText)
    : DBManagerError(ComposeQueryMessage(message, params, queryText))
{
}

SQLError::SQLError(const std::string& libraryMessage, const TParams* params, const std::string& queryText)
    : QryError(kQueryFailed + libraryMessage, params, queryText)
{
}

CharsetError::CharsetError(const std::string& libraryMessage, const TParams* params, const std::string& queryText,
                           std::string characterSet)
    : SQLError(libraryMessage, params, queryText), CharacterSet(std::move(characterSet))
{
}

TooShortSQLError::TooShortSQLError(const std::string& queryText) : QryError(kTooShort, nullptr, queryText) {}
