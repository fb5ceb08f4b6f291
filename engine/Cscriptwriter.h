#pragma once
#include "engine/Clogrecord.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace NorvaneImpl {

// Joins the statements of records given one at a time in log order into a
// script, as the run object joins its records: each non-empty statement
// followed by ";\n\n", and the no-records text (in the script's character
// set, TScriptCharset) when no record came. The
// reproducing script goes out as it grows; the undo script, newest first,
// is spooled to a temporary file with each statement's length and goes out
// backwards at the end, so that neither holds the period in memory.
class TScriptWriter {
public:
    // Takes the next bytes of the script; throws to stop the run.
    using TWrite = std::function<void(const char* data, std::size_t size)>;

    TScriptWriter(bool reproducing, TWrite write);
    ~TScriptWriter();
    TScriptWriter(const TScriptWriter&) = delete;
    TScriptWriter& operator=(const TScriptWriter&) = delete;

    // Raises what the statement raises (CEUnknownIBType, CEUnknownActionLetter).
    void Add(const CLogRecord& record);
    // Writes what is still to come; the no-records text when no record came.
    void Finish();
    std::size_t Records() const { return records; }

private:
    struct TFileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    bool reproducing;
    TWrite write;
    std::size_t records = 0;
    std::unique_ptr<std::FILE, TFileCloser> spool;
    std::vector<std::uint32_t> lengths;  // of the spooled statements, separators included
};

}  // namespace NorvaneImpl
