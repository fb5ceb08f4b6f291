#pragma once
#include "app/core/Charset.h"
#include "engine/Clogrecord.h"
#include "locale/Regional.h"
#include "xml/Xmlutil.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace Norvane {

class TPeriodLog;

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
    // hold stops the run with CharsetError.
    void ReadLog(const std::string& databaseFile, const std::string& userName, const std::string& password,
                 TDateTime periodBegin, TDateTime periodEnd, bool includeComments,
                 const std::string& characterSet = kDefaultCharset);
    void Clear();

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
    // The XML log as text in the run's character set (as its declaration
    // says), or the failure text of its build.
    std::string GetXMLLog();
    void SaveXMLLog(const std::string& fileName);

    const std::vector<std::unique_ptr<NorvaneImpl::CLogRecord>>& Records() const { return records; }
    // Empty, or why the XML log of the last run could not be built.
    const std::string& GetXMLError() const { return xmlError; }
    // The character set of the last run, WIN1251 before the first.
    const TCharset& Charset() const { return charset; }
    // Whether the last run read the log to its end (its XML log may still
    // have failed to build).
    bool LogRead() const { return logRead; }

private:
    NorvaneImpl::TFieldList ReadKeys(long long logId);
    NorvaneImpl::TFieldList ReadFields(long long logId);
    void BuildXMLLog();
    template <class Iterator>
    std::string GetScript(Iterator first, Iterator last, std::string (NorvaneImpl::CLogRecord::*statement)() const);

    std::unique_ptr<XMLutil::TXMLDocument> document;
    std::vector<std::unique_ptr<NorvaneImpl::CLogRecord>> records;
    TProgressEvent onProgress;
    std::string xmlError;
    bool logRead = false;
    TShowMessage showMessage;
    bool disableTriggers = false;
    TCharset charset = CharsetOf(kDefaultCharset);
    // The keys and the fields of every entry of the run's period, read once
    // and handed out entry by entry by ReadKeys and ReadFields.
    std::unique_ptr<TPeriodLog> periodLog;
};

}  // namespace Norvane
