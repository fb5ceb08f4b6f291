#pragma once
#include "engine/Clogrecord.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace NorvaneImpl {

// A trigger's name (the PSQL variable NAME) in an execute statement, quoted
// where the database's dialect has quoted names.
inline constexpr char kTriggerName[] =
    "iif((select mon$sql_dialect from mon$database) > 1, '\"' || replace(name, '\"', '\"\"') || '\"', name)";

// What goes before a script's statements to switch the target's own
// triggers on the tables off, and after them to switch exactly those on
// again.
std::string TriggersOff(const std::vector<std::string>& tables);
std::string TriggersOn();

// A generator of the source and its value at the time of the run.
struct TGeneratorValue {
    std::string name;
    long long value = 0;
};

// What goes at the end of a reproducing script to move each of the
// generators that the target has up to at least the source's value, never
// down: their values are 64-bit in dialect 3 and 32-bit in dialect 1.
std::string GeneratorsUp(const std::vector<TGeneratorValue>& generators, bool dialect3);

// Joins the statements of records given one at a time in log order into a
// script, as the run object joins its records: each non-empty statement
// followed by ";\n\n", and the no-records text (in the script's character
// set, TScriptCharset) when no record came. The
// reproducing script goes out as it grows; the undo script, newest first,
// is spooled to a temporary file of $TMPDIR (CreateSpoolFile; a failure to
// write it is a WriteError) with each statement's length and goes out
// backwards at the end, so that neither holds the period in memory; there
// the undo statement of a referential action's effect (TCascade) goes right
// after its source's, which must bring the referred row back first. With
// the triggers switched off, the statements wait in the spool for the list
// of the tables the records name, which goes before them.
class TScriptWriter {
public:
    // Takes the next bytes of the script; throws to stop the run.
    using TWrite = std::function<void(const char* data, std::size_t size)>;

    TScriptWriter(bool reproducing, TWrite write, bool triggersOff = false);
    ~TScriptWriter();
    TScriptWriter(const TScriptWriter&) = delete;
    TScriptWriter& operator=(const TScriptWriter&) = delete;

    // Raises what the statement raises (CEUnknownIBType, CEUnknownActionLetter).
    void Add(const CLogRecord& record);
    // A reproducing script of some records ends by moving the target's
    // generators up to these values (GeneratorsUp), after the switching on
    // of the triggers, on an empty line of its own.
    void EndWithGenerators(std::vector<TGeneratorValue> values, bool dialect3);
    // Writes what is still to come; the no-records text when no record came.
    void Finish();
    std::size_t Records() const { return records; }

private:
    struct TFileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    struct TTable {
        std::string name;
        std::size_t last;  // the number of the last record that names it
    };

    void CopyForward();
    void CopyBackward();
    // Writes the undo statements of the effects that follow the statement,
    // each followed by its own.
    void CopyFollowers(std::uint32_t statement);

    // Where an effect's statement lies in the spool.
    struct TPlace {
        std::uint64_t offset;
        std::uint32_t length;
    };

    bool reproducing;
    bool triggersOff;
    std::vector<TGeneratorValue> generators;
    bool generatorsQuoted = false;
    std::vector<TTable> tables;
    TWrite write;
    std::size_t records = 0;
    std::unique_ptr<std::FILE, TFileCloser> spool;
    std::vector<std::uint32_t> lengths;  // of the spooled statements, separators included
    std::uint64_t spooled = 0;           // bytes in the spool
    // For each of the last kCascadeWindow records, the number of its spooled
    // statement plus one (0: none), by record number: where an effect finds
    // its source's.
    std::vector<std::uint32_t> recent;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> followers;  // by the source's statement
    std::unordered_map<std::uint32_t, TPlace> moved;                          // the effects' statements
};

}  // namespace NorvaneImpl
