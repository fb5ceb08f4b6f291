#include "db/Tdbmanager.h"

#include "db/Ibclient.h"
#include "locale/Messages.h"

#include <algorithm>
#include <atomic>

using namespace IBClient;

namespace {

// The connected database's handle, for Cancel from another thread; the
// manager is one per process.
std::atomic<FB_API_HANDLE> connectedHandle{0};

}  // namespace

// ---------------------------------------------------------------- TDBManager

TDBManager& TDBManager::GetInstance()
{
    static TDBManager instance;
    return instance;
}

TDBManager::TDBManager()
    : database(std::make_unique<TIBDatabase>()), transaction(std::make_unique<TIBTransaction>())
{
    // A lock conflict fails at once. The transaction reads one snapshot of
    // the database, as it stood when the transaction started: a run's
    // queries, read one after another, then give one consistent picture of
    // the log, whatever other transactions commit meanwhile. It only reads.
    transaction->AddParam(isc_tpb_nowait);
    transaction->AddParam(isc_tpb_concurrency);
    transaction->AddParam(isc_tpb_read);
}

TDBManager::~TDBManager()
{
    CloseDataSets();
    transaction.reset();  // rolls back
    database.reset();     // detaches
}

unsigned short TDBManager::Dialect() const
{
    return database->Connected() ? database->Dialect() : SQL_DIALECT_V6;
}

TDBManagerState TDBManager::GetState() const
{
    if (!database->Connected())
        return dbsDisconnected;
    return transaction->Active() ? dbsInTransaction : dbsConnected;
}

bool TDBManager::IsTransactionActive() const { return transaction->Active(); }

void TDBManager::CheckState(TDBOperation operation)
{
    switch (GetState()) {
    case dbsDisconnected:
        if (operation == dboStartTransaction)
            throw TranError(msgDbStartWhileDisconnected);
        break;
    case dbsConnected:
        if (operation == dboEndTransaction)
            throw TranError(msgDbEndWithoutTransaction);
        break;
    case dbsInTransaction:
        if (operation == dboConnect)
            throw TranError(msgDbConnectInTransaction);
        if (operation == dboStartTransaction)
            throw TranError(msgDbStartInTransaction);
        break;
    }
}

void TDBManager::Connect(const std::string& databaseName, const std::string& userName, const std::string& password,
                         const std::string& charset)
{
    CheckState(dboConnect);
    Disconnect();
    database->DatabaseName = databaseName;
    database->SetParam(isc_dpb_user_name, userName);
    database->SetParam(isc_dpb_password, password);
    characterSet = charset;
    database->SetParam(isc_dpb_lc_ctype, characterSet);
    try {
        database->Open();
    } catch (const EIBError& error) {
        throw ConnectError(error.Message, databaseName);
    }
    connectedHandle = database->HandleValue();
}

void TDBManager::Disconnect() noexcept
{
    CloseDataSets();
    if (transaction->Active()) {
        try {
            transaction->Rollback();
        } catch (const EIBError&) {
            // Let go all the same: the connection goes with it.
        }
    }
    connectedHandle = 0;
    database->Close();
}

void TDBManager::Cancel() noexcept
{
    if (const FB_API_HANDLE handle = connectedHandle)
        CancelOperation(handle);
}

void TDBManager::Abort() noexcept
{
    if (const FB_API_HANDLE handle = connectedHandle)
        CancelOperation(handle, fb_cancel_abort);
}

void TDBManager::SetConnectTimeout(int seconds)
{
    // A number of the parameter block: four bytes, the lowest first.
    std::string value;
    if (seconds > 0)
        for (int i = 0; i < 4; ++i)
            value += static_cast<char>((static_cast<unsigned>(seconds) >> (8 * i)) & 0xFF);
    database->SetParam(isc_dpb_connect_timeout, value);
}

void TDBManager::StartTransaction()
{
    CheckState(dboStartTransaction);
    try {
        transaction->Start(*database);
    } catch (const EIBError& error) {
        throw TranError(msgDbStartFailed + " " + error.Message);
    }
}

void TDBManager::Rollback()
{
    CheckState(dboEndTransaction);
    CloseDataSets();
    try {
        transaction->Rollback();
    } catch (const EIBError& error) {
        throw TranError(msgDbRollbackFailed + "\n" + error.Message);
    }
}

std::unique_ptr<TDataSet> TDBManager::OpenQuery(const std::string& sql, const TParams* params, bool keepRows)
{
    if (GetState() != dbsInTransaction)
        throw TranError();
    auto query = std::make_unique<TDataSet>();
    query->keepRows = keepRows;
    PrepareQuery(*query, sql, params);
    try {
        query->Open(*this, *database, *transaction);
    } catch (const EIBError& error) {
        // The query object goes with the error, freeing its statement.
        RaiseQueryError(error, params, sql);
    }
    return query;
}

void TDBManager::RaiseQueryError(const EIBError& error, const TParams* params, const std::string& sql)
{
    // The engine reports a value it cannot give in the connection's set as
    // a failed transliteration, or, for bytes that are no text of their own
    // set, as a malformed string; either may follow a more general code.
    if (error.Reports(isc_transliteration_failed) || error.Reports(isc_malformed_string))
        throw CharsetError(error.Message, params, sql, GetInstance().CharacterSet());
    if (error.ConnectionLost())
        throw ConnectionLostError(error.Message, params, sql);
    throw SQLError(error.Message, params, sql);
}

void TDBManager::PrepareQuery(TDataSet& query, const std::string& sql, const TParams* params)
{
    if (sql.size() < 5)
        throw TooShortSQLError(sql);
    query.SetSQL(sql);
    if (!params)
        return;
    for (size_t i = 0; i < params->Count(); ++i) {
        const TParam& given = (*params)[i];
        if (TParam* target = query.params.FindParam(given.Name))
            target->Assign(given);
    }
}

void TDBManager::CloseDataSets() noexcept
{
    std::vector<TDataSet*> open;
    open.swap(openDataSets);
    for (TDataSet* dataSet : open) {
        dataSet->manager = nullptr;
        dataSet->CloseCursor();
    }
}

void TDBManager::Register(TDataSet* dataSet) { openDataSets.push_back(dataSet); }

void TDBManager::Unregister(TDataSet* dataSet) noexcept
{
    const auto it = std::find(openDataSets.begin(), openDataSets.end(), dataSet);
    if (it != openDataSets.end())
        openDataSets.erase(it);
}
