#pragma once
#include "core/Exception.h"

#include <string>

class TParams;

// The errors of the database manager. Each one folds everything needed to
// diagnose the failure into its message when it is made, in the language of
// the message catalogue at that moment, Windows-1251: the client library's
// own text, the database location, the query text and the values of its
// parameters. Callers tell them apart by
// class: a refused connection, a failed query, a misused transaction.

class DBManagerError : public Exception {
public:
    explicit DBManagerError(const std::string& message) : Exception(message) {}
};

// The client library refused the connection: its text and the location.
class ConnectError : public DBManagerError {
public:
    ConnectError(const std::string& libraryMessage, const std::string& databaseName);
};

// An operation not allowed in the manager's state, or a transaction that
// could not be started or rolled back. Made without a message, it says that
// there is no active transaction to run a query in.
class TranError : public DBManagerError {
public:
    TranError();
    explicit TranError(const std::string& message);
};

// The common base of the query errors: the message, the query text and, when
// a parameter list is given (even an empty one), the value of each parameter,
// marked when the query text never names it.
class QryError : public DBManagerError {
public:
    QryError(const std::string& message, const TParams* params, const std::string& queryText);
};

// A query failed to prepare, open or fetch: the library's text, the query
// and its parameters.
class SQLError : public QryError {
public:
    SQLError(const std::string& libraryMessage, const TParams* params, const std::string& queryText);
};

// A failed query whose result holds a value that cannot be given in the
// connection's character set: the engine reported a failed transliteration
// or a malformed string. The message is SQLError's; CharacterSet names the
// set the connection asked for.
class CharsetError : public SQLError {
public:
    CharsetError(const std::string& libraryMessage, const TParams* params, const std::string& queryText,
                 std::string characterSet);
    std::string CharacterSet;
};

// A failed query whose connection went away meanwhile: the server shut the
// attachment down or the network failed. The message is SQLError's.
class ConnectionLostError : public SQLError {
public:
    using SQLError::SQLError;
};

// The query text is shorter than any SELECT can be.
class TooShortSQLError : public QryError {
public:
    explicit TooShortSQLError(const std::string& queryText);
};
