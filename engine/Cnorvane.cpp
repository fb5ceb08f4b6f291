#include "engine/Cnorvane.h"

#include "core/AtomicFile.h"
#include "core/Resfuncs.h"
#include "db/Tdbmanager.h"
#include "db/Tsignalwatch.h"
#include "engine/Clogreader.h"
#include "engine/Cscriptwriter.h"
#include "engine/Cselection.h"
#include "locale/Messages.h"
#include "res/TextIds.h"

#include <algorithm>

using NorvaneImpl::CLogReader;
using NorvaneImpl::CLogRecord;

namespace Norvane {

CEIncompleteValue::CEIncompleteValue(long long logId, const std::string& tableName, const std::string& fieldName)
    : std::range_error(NorvaneImpl::ScriptMessage(msgIncompleteValue, {std::to_string(logId), tableName, fieldName}))
{
}

CNorvane::CNorvane(TProgressEvent aOnProgress, TShowMessage aShowMessage)
    : onProgress(std::move(aOnProgress)), showMessage(std::move(aShowMessage))
{
    // The XML layer's converters must be there before the first run.
    XMLutil::CreateParser();
}

CNorvane::~CNorvane()
{
    try {
        Clear();
    } catch (...) {
        // A failed roll-back at the end changes nothing: the transaction never
        // committed, and the connection goes with the process.
    }
}

void CNorvane::Clear()
{
    xmlError.clear();
    logRead = false;
    skipped = TSkipped{};
    partialMatches = TPartialMatches{};
    generators.clear();
    xmlWriter.reset();
    TDBManager& db = TDBManager::GetInstance();
    if (db.IsTransactionActive()) {
        try {
            db.Rollback();
        } catch (const TranError&) {
            // The transaction only read, and the manager has let it go: one
            // the library can no longer roll back (its connection gone) left
            // nothing behind, and is no failure of the run that follows,
            // which reports its own.
        }
    }
    records.clear();
}

std::unique_ptr<CLogReader> CNorvane::Open(const std::string& databaseFile, const std::string& userName,
                                           const std::string& password, TDateTime periodBegin, TDateTime periodEnd,
                                           bool includeComments, const std::string& characterSet, bool undo)
{
    const TCharset wanted = CharsetOf(characterSet);
    Clear();
    charset = wanted;
    TDBManager& db = TDBManager::GetInstance();
    db.Connect(databaseFile, userName, password, charset.name);
    if (received)
        received->Begin(NorvaneImpl::StartSnapshot());
    else
        db.StartTransaction();
    // Names that need quoting are quoted in dialect 3 only: dialect 1 has no
    // quoted identifiers.
    quoteNames = db.Dialect() >= 3;
    records.Start(includeComments, quoteNames);
    if (syncGenerators)
        generators = NorvaneImpl::ReadGenerators(quoteNames);
    NorvaneImpl::TSkipEvent onSkip;
    if (skipInvalid)
        onSkip = [this](const NorvaneImpl::CEInvalidEntry& entry) {
            if (++skipped.count <= TSkipped::kMaxListed)
                skipped.first.push_back(entry.what());
            // Left out for good: it can never be trusted.
            if (received)
                skipped.ids.push_back(entry.LogId());
        };
    // The entries are chosen by what was received before the run, a copy of
    // its own: the log may be read in a thread of its own while the entries
    // written are added to the received log. Each id comes once.
    std::shared_ptr<const NorvaneImpl::TReceivedLog> before;
    if (received)
        before = std::make_shared<const NorvaneImpl::TReceivedLog>(*received);
    const NorvaneImpl::TEntrySelection selection{periodBegin, periodEnd, before.get(), filter};
    auto reader = std::make_unique<CLogReader>(selection.Params(), quoteNames, includeComments, std::move(onSkip),
                                               [selection, before](const NorvaneImpl::TEntryRow& entry) {
                                                   return selection.Choice(entry);
                                               });
    // An update finds its row in either script; a delete is the reproducing
    // script's statement of a D entry and the undo script's of an I entry.
    reader->OnPartialMatch([this, undo](char operation, const std::string& table) {
        if (operation != 'U' && operation != (undo ? 'I' : 'D'))
            return;
        ++partialMatches.statements;
        std::vector<std::string>& tables = partialMatches.tables;
        if (std::find(tables.begin(), tables.end(), table) == tables.end())
            tables.push_back(table);
    });
    return reader;
}

template <class Output>
void CNorvane::StartXML(Output output)
{
    try {
        // The template declares Windows-1251; another run's log declares the
        // encoding of its own character set.
        std::string xmlTemplate = LoadResourceText(BuiltinTexts::kXmlTemplate, "XML");
        if (charset.name != kDefaultCharset) {
            const std::string declared = "encoding=\"Windows-1251\"";
            const size_t at = xmlTemplate.find(declared);
            if (at != std::string::npos && at < xmlTemplate.find("?>"))
                xmlTemplate.replace(at, declared.size(), "encoding=\"" + charset.encoding + "\"");
        }
        xmlWriter = std::make_unique<XMLutil::TXMLWriter>(xmlTemplate, charset.encoding, output);
    } catch (const XMLutil::CEXMLproblem& e) {
        xmlError = FormatMessage(msgXMLFailed, {e.what()});
    }
}

template <class Operation>
void CNorvane::WriteXML(Operation operation)
{
    if (!xmlWriter)
        return;
    try {
        operation(*xmlWriter);
    } catch (const XMLutil::CEXMLproblem& e) {
        xmlError = FormatMessage(msgXMLFailed, {e.what()});
        // The log keeps the elements written before, closed.
        try {
            xmlWriter->Finish();
        } catch (const XMLutil::CEXMLproblem&) {
        }
        xmlWriter.reset();
    }
}

void CNorvane::ReadLog(const std::string& databaseFile, const std::string& userName, const std::string& password,
                       TDateTime periodBegin, TDateTime periodEnd, bool includeComments,
                       const std::string& characterSet)
{
    const TReleaseDatabase release;
    std::unique_ptr<CLogReader> reader =
        Open(databaseFile, userName, password, periodBegin, periodEnd, includeComments, characterSet, false);
    xmlText.clear();
    xmlText.shrink_to_fit();
    StartXML(&xmlText);
    while (std::unique_ptr<CLogRecord> record = reader->Next()) {
        WriteXML([&record](XMLutil::TXMLWriter& writer) { record->WriteXMLElement(writer); });
        records.push_back(*record);
        Advance(reader->Total(), reader->Read());
    }
    WriteXML([this](XMLutil::TXMLWriter& writer) {
        writer.Finish();
        xmlWriter.reset();
    });
    xmlText.shrink_to_fit();
    logRead = true;
}

std::size_t CNorvane::WriteLog(const std::string& databaseFile, const std::string& userName,
                               const std::string& password, TDateTime periodBegin, TDateTime periodEnd,
                               bool includeComments, bool undo, std::FILE* script, std::FILE* xmlLog,
                               const std::string& characterSet)
{
    const TReleaseDatabase release;
    std::unique_ptr<CLogReader> reader =
        Open(databaseFile, userName, password, periodBegin, periodEnd, includeComments, characterSet, undo);
    xmlText.clear();
    if (xmlLog)
        StartXML(xmlLog);
    // The statements' literals name the run's set.
    NorvaneImpl::TScriptCharset scriptCharset(charset.name, charset.encoding);
    NorvaneImpl::TScriptWriter scriptWriter(
        !undo,
        [script](const char* data, std::size_t size) {
            if (std::fwrite(data, 1, size, script) != size)
                throw Exception(msgCannotWriteScript);
        },
        disableTriggers);
    if (syncGenerators)
        scriptWriter.EndWithGenerators(generators, quoteNames);
    // The log is read ahead while the statements and elements of the
    // records read are written.
    NorvaneImpl::TReadAhead ahead(*reader);
    NorvaneImpl::TReadAhead::TItem item;
    while (ahead.Next(item)) {
        scriptWriter.Add(*item.record);
        WriteXML([&item](XMLutil::TXMLWriter& writer) { item.record->WriteXMLElement(writer); });
        if (received)
            received->Add(item.id);
        Advance(item.total, item.read);
    }
    scriptWriter.Finish();
    if (received) {
        for (const long long id : skipped.ids)
            received->Add(id);
        NorvaneImpl::FillFinalGaps(*received);
    }
    WriteXML([this](XMLutil::TXMLWriter& writer) {
        writer.Finish();
        xmlWriter.reset();
    });
    logRead = true;
    return scriptWriter.Records();
}

void CNorvane::Advance(int total, int read)
{
    TSignalWatch::StopIfCaught();
    // By the entries read: those a filter passes over count too.
    if (onProgress)
        onProgress(total, read);
}

std::string CNorvane::GetScript(bool reproducing)
{
    NorvaneImpl::TScriptCharset scriptCharset(charset.name, charset.encoding);
    // Joined as a run that holds no records writes them, with the busy
    // handler called between records.
    constexpr int kBusyEvery = 500;
    try {
        std::string script;
        NorvaneImpl::TScriptWriter writer(
            reproducing, [&script](const char* data, std::size_t size) { script.append(data, size); },
            disableTriggers);
        if (syncGenerators)
            writer.EndWithGenerators(generators, quoteNames);
        int count = 0;
        for (const auto& record : records) {
            writer.Add(*record);
            if (++count % kBusyEvery == 0) {
                TSignalWatch::StopIfCaught();
                if (onBusy)
                    onBusy();
            }
        }
        writer.Finish();
        return script;
    } catch (const NorvaneImpl::CEUnknownIBType& e) {
        if (showMessage)
            showMessage(e.what());
        return {};
    }
}

std::string CNorvane::GetReproducingScript()
{
    return GetScript(true);
}

std::string CNorvane::GetUndoScript()
{
    return GetScript(false);
}

std::string CNorvane::GetXMLLog()
{
    if (!xmlError.empty())
        return xmlError;
    return xmlText;
}

void CNorvane::SaveXMLLog(const std::string& fileName)
{
    try {
        WriteFileAtomically(fileName, xmlText);
    } catch (const Exception&) {
        throw XMLutil::CEXMLproblem("Unable to save to specified file");
    }
}

}  // namespace Norvane
