#pragma once
// The database manager: the system's only door to the database. One
// connection and one transaction per process, parametrised SELECT statements,
// and errors of its own (Dbmanagererror.h) for every failure. It only reads:
// a transaction ends by roll-back, never by commit.
#include "db/Dbmanagererror.h"
#include "db/Tdataset.h"
#include "db/Tparams.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace IBClient {
class EIBError;
class TIBDatabase;
class TIBTransaction;
}  // namespace IBClient

enum TDBManagerState { dbsDisconnected, dbsConnected, dbsInTransaction };
enum TDBOperation { dboConnect, dboEndTransaction, dboStartTransaction };

class TDBManager {
public:
    // The one manager of the process, made on the first call.
    static TDBManager& GetInstance();

    TDBManager(const TDBManager&) = delete;
    TDBManager& operator=(const TDBManager&) = delete;

    TDBManagerState GetState() const;
    bool IsTransactionActive() const;
    // Throws TranError when the operation is not allowed in the current state.
    void CheckState(TDBOperation operation);
    // Disconnects, then connects with the user's name and password (an empty
    // one is not sent) and the character set (Firebird's name), in which
    // every text of a query's result then comes. The database name goes to
    // the client library as given: a file path, "host:path" or
    // "host/port:path". Throws ConnectError; the manager is then disconnected.
    void Connect(const std::string& databaseName, const std::string& userName, const std::string& password,
                 const std::string& characterSet = "WIN1251");
    // The character set of the last Connect.
    const std::string& CharacterSet() const { return characterSet; }
    // Throws TranError.
    void StartTransaction();
    // Throws TranError. The transaction is over even then: a transaction
    // the library cannot roll back is let go.
    void Rollback();
    // Makes the database call running in another thread fail at once (the
    // engine reports the operation cancelled); nothing happens when no call
    // runs. Safe from any thread.
    void Cancel() noexcept;
    // Closes the client's side of the connection: the call running fails,
    // even one that waits for a server that no longer answers (which a
    // Cancel, sent to the server, never reaches), and so does every later
    // call on the connection. Safe from any thread.
    void Abort() noexcept;
    // How long the library waits for a server's first answer when it
    // connects, in seconds; 0: as its configuration says (three minutes).
    // The library then reports the connection rejected.
    void SetConnectTimeout(int seconds);
    // Prepares and opens a SELECT in the active transaction; the caller owns
    // the result. keepRows false: a forward-only set, holding its current
    // row alone. Throws TranError outside a transaction, TooShortSQLError
    // and SQLError; CharsetError, an SQLError, when a value of the result
    // cannot be given in the connection's character set (so do the data
    // set's Next and Last).
    std::unique_ptr<TDataSet> OpenQuery(const std::string& sql, const TParams* params = nullptr,
                                        bool keepRows = true);
    // Gives the query its text and, by name, the values of params: a given
    // parameter the text does not use is ignored, a parameter of the text
    // not given stays null. Throws TooShortSQLError.
    void PrepareQuery(TDataSet& query, const std::string& sql, const TParams* params);
    // The error of a query the library failed: CharsetError or SQLError.
    [[noreturn]] static void RaiseQueryError(const IBClient::EIBError& error, const TParams* params,
                                             const std::string& sql);
    // Closes the connection, rolling back a transaction still open (the
    // manager stays as Connect leaves it after a failure); nothing happens
    // when not connected. Whatever their state, nothing of the manager holds
    // the database afterwards: a transaction the library cannot roll back is
    // let go.
    void Disconnect() noexcept;
    // The SQL dialect of the connected database (3 when not connected).
    unsigned short Dialect() const;
    // How many statements the manager has prepared since the process began.
    std::size_t PreparedStatements() const { return preparedStatements; }

private:
    friend class TDataSet;
    TDBManager();
    ~TDBManager();

    // Frees the statement of every open data set before the transaction or
    // the connection it runs in goes away.
    void CloseDataSets() noexcept;
    void Register(TDataSet* dataSet);
    void Unregister(TDataSet* dataSet) noexcept;

    std::unique_ptr<IBClient::TIBDatabase> database;
    std::unique_ptr<IBClient::TIBTransaction> transaction;
    std::vector<TDataSet*> openDataSets;
    std::size_t preparedStatements = 0;
    std::string characterSet = "WIN1251";
};

// A run lets go of the database when it ends, however it ends (Disconnect): its
// transaction only read, and a transaction held open would hold back the
// server's garbage collection, or, on the embedded engine, keep every other
// program out of the database file.
struct TReleaseDatabase {
    TReleaseDatabase() = default;
    TReleaseDatabase(const TReleaseDatabase&) = delete;
    TReleaseDatabase& operator=(const TReleaseDatabase&) = delete;
    ~TReleaseDatabase() { TDBManager::GetInstance().Disconnect(); }
};
