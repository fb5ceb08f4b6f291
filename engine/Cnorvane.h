#pragma once
#include "core/Charset.h"
#include "engine/Clogrecord.h"
#include "engine/Crecordstore.h"
#include "engine/Cscriptwriter.h"
#include "engine/Cselection.h"
#include "locale/Regional.h"
#include "xml/Xmlutil.h"
#include "xml/Xmlwriter.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace NorvaneImpl {
class CLogReader;
}

namespace Norvane {

// Raised by a run for a logged value that the log marks as not logged
// completely (INCOMPLETE set): no script can repeat or undo that change
// exactly, so none is made. The text names the log entry, the table and the
// field.
class CEIncompleteValue : public std::range_error {
public:
    CEIncompleteValue(long long logId, const std::string& tableName, const std::string& fieldName);
};

// Progress of a run: total log entries to read and how many are done. The
// handler only reads the two counts.
using TProgressEvent = std::function<void(int& total, int& done)>;
// Shows a text to the user and returns once it has been shown.
using TShowMessage = std::function<void(const std::string& text)>;
// Called now and then while a script is joined, so that a window can keep
// painting; it must not call the run object.
using TBusyEvent = std::function<void()>;

// One run object per window or command: reads the change log of a period and
// turns it into the reproducing or undo script and the XML log.
class CNorvane {
public:
    explicit CNorvane(TProgressEvent onProgress = {}, TShowMessage showMessage = {});
    ~CNorvane();
    CNorvane(const CNorvane&) = delete;
    CNorvane& operator=(const CNorvane&) = delete;

    // Reads the log through a connection in the character set (Firebird's
    // name; std::invalid_argument for one CharsetOf does not know); the
    // scripts and the XML log of the run are in it. A value the set cannot
    // hold stops the run with CharsetError. The records are kept in their
    // compact form and the XML log is written as text while they come. Like
    // WriteLog, it ends its read-only transaction and its connection when it
    // ends, whether it succeeded or failed: nothing holds the database
    // between runs.
    void ReadLog(const std::string& databaseFile, const std::string& userName, const std::string& password,
                 TDateTime periodBegin, TDateTime periodEnd, bool includeComments,
                 const std::string& characterSet = kDefaultCharset);
    void Clear();
    void SetBusyHandler(TBusyEvent handler) { onBusy = std::move(handler); }

    // A run that holds no records, for logs of any size: reads the log of the
    // period as ReadLog does and writes each record as it comes, its
    // statement to script (the undo statements newest first when undo) and,
    // when xmlLog is given, its XML element to xmlLog. A failure of the XML
    // log goes to GetXMLError and ends the XML log alone; CEUnknownIBType
    // and every failure of reading or writing leave the run, the files
    // written part way. Returns the number of records.
    std::size_t WriteLog(const std::string& databaseFile, const std::string& userName, const std::string& password,
                         TDateTime periodBegin, TDateTime periodEnd, bool includeComments, bool undo,
                         std::FILE* script, std::FILE* xmlLog, const std::string& characterSet = kDefaultCharset);

    std::string GetReproducingScript();
    std::string GetUndoScript();
    // Whether the scripts switch off the target's own triggers around their
    // statements (off by default): an execute block first makes inactive
    // every active trigger that is not the system's on the tables the script
    // changes and remembers them in the session, then the statements run,
    // then a second block makes exactly those active again, each step
    // committed. A script without statements stays as it is.
    void SetDisableTriggers(bool disable) { disableTriggers = disable; }
    bool GetDisableTriggers() const { return disableTriggers; }
    // Whether a run leaves out the log entries it refuses as invalid
    // (NorvaneImpl::CEInvalidEntry) and goes on, instead of stopping at the
    // first (off by default). Skipped tells which it left out.
    void SetSkipInvalid(bool skip) { skipInvalid = skip; }
    // Whether the reproducing script ends by moving each generator of the
    // target up to at least the value the source's has at the time of the
    // run, never down (off by default): the user generators of the source
    // (not the system's, not the change log's own) that the target has. A
    // script without statements stays as it is.
    void SetSyncGenerators(bool sync) { syncGenerators = sync; }
    bool GetSyncGenerators() const { return syncGenerators; }
    // The statements of the last run's script (the reproducing one, for a
    // run that keeps its records) that find their row by logged values
    // which leave out some of the table's columns, as logs of triggers that
    // kept fewer columns than ours have them: such a statement may change
    // another row that is equal in those values.
    struct TPartialMatches {
        std::size_t statements = 0;
        std::vector<std::string> tables;  // in the order they first come
    };
    const TPartialMatches& PartialMatches() const { return partialMatches; }
    struct TSkipped {
        std::size_t count = 0;
        std::vector<std::string> first;  // the messages of the first kMaxListed, in log order
        std::vector<long long> ids;      // of all, when a received log is kept
        static constexpr std::size_t kMaxListed = 100;
    };
    // The entries the last run left out as invalid.
    const TSkipped& Skipped() const { return skipped; }
    // The log entries already written (nullptr, the default: none): a run
    // leaves them out, and WriteLog adds the ones it writes, and the ones
    // it leaves out as invalid, to it. The caller keeps it, and keeps it
    // only when the script was written.
    void SetReceived(NorvaneImpl::TReceivedLog* log) { received = log; }
    // Which of the period's entries a run takes by their tables, users and
    // operations (NorvaneImpl::TEntrySelection says what it means for the
    // received log and for referential actions); the default takes all.
    void SetFilter(NorvaneImpl::TEntryFilter aFilter) { filter = std::move(aFilter); }
    // The XML log as text in the run's character set (as its declaration
    // says), or the failure text of its build.
    std::string GetXMLLog();
    // The same text without a copy of it, valid until the next run.
    const std::string& XMLLogText() const { return xmlError.empty() ? xmlText : xmlError; }
    void SaveXMLLog(const std::string& fileName);

    // The records of the last run, made from their compact form when asked for.
    const NorvaneImpl::TRecordStore& Records() const { return records; }
    // Empty, or why the XML log of the last run could not be built.
    const std::string& GetXMLError() const { return xmlError; }
    // The character set of the last run, WIN1251 before the first.
    const TCharset& Charset() const { return charset; }
    // Whether the last run read the log to its end (its XML log may still
    // have failed to build).
    bool LogRead() const { return logRead; }

private:
    // Connects, starts the transaction and opens the reader of the period;
    // the reader tells of statements matched by too few values of the
    // script made (undo: the undo script).
    std::unique_ptr<NorvaneImpl::CLogReader> Open(const std::string& databaseFile, const std::string& userName,
                                                  const std::string& password, TDateTime periodBegin,
                                                  TDateTime periodEnd, bool includeComments,
                                                  const std::string& characterSet, bool undo);
    // Starts the XML log of the run on a text or a file.
    template <class Output>
    void StartXML(Output output);
    // Runs an operation of the XML log's writer, which a failure ends: its
    // text goes to xmlError, and the log keeps what it had.
    template <class Operation>
    void WriteXML(Operation operation);
    // After each record of a run: a signal the program caught (TSignalWatch)
    // ends the run with InterruptedError, and the progress event hears of it.
    void Advance(int total, int read);
    std::string GetScript(bool reproducing);

    // The XML log of the last run, written as the records came.
    std::string xmlText;
    std::unique_ptr<XMLutil::TXMLWriter> xmlWriter;
    NorvaneImpl::TRecordStore records;
    TProgressEvent onProgress;
    std::string xmlError;
    bool logRead = false;
    TShowMessage showMessage;
    TBusyEvent onBusy;
    bool disableTriggers = false;
    bool skipInvalid = false;
    TSkipped skipped;
    bool syncGenerators = false;
    bool quoteNames = false;  // of the last run's database: dialect 3
    std::vector<NorvaneImpl::TGeneratorValue> generators;  // of the last run, when carried
    TPartialMatches partialMatches;
    NorvaneImpl::TReceivedLog* received = nullptr;
    NorvaneImpl::TEntryFilter filter;
    TCharset charset = CharsetOf(kDefaultCharset);
};

}  // namespace Norvane
