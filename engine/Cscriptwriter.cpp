#include "engine/Cscriptwriter.h"

#include "db/Exception.h"
#include "locale/Messages.h"

namespace NorvaneImpl {

namespace {

const char kSeparator[] = ";\n\n";

// The undo script is read back in pieces of about this many bytes, each a
// run of whole statements.
constexpr std::size_t kSpoolPiece = 1 << 20;

}  // namespace

TScriptWriter::TScriptWriter(bool reproducing, TWrite write) : reproducing(reproducing), write(std::move(write))
{
}

TScriptWriter::~TScriptWriter() = default;

void TScriptWriter::Add(const CLogRecord& record)
{
    ++records;
    std::string statement = reproducing ? record.GetReproducingStatement() : record.GetUndoStatement();
    if (statement.empty())
        return;
    statement += kSeparator;
    if (reproducing) {
        write(statement.data(), statement.size());
        return;
    }
    if (!spool) {
        spool.reset(std::tmpfile());
        if (!spool)
            throw Exception("Cannot create a temporary file for the undo script");
    }
    if (std::fwrite(statement.data(), 1, statement.size(), spool.get()) != statement.size())
        throw Exception("Cannot write the undo script's temporary file");
    lengths.push_back(static_cast<std::uint32_t>(statement.size()));
}

void TScriptWriter::Finish()
{
    if (records == 0) {
        const std::string text = TScriptCharset::ProgramText(msgNoMatchedRecords);
        write(text.data(), text.size());
        return;
    }
    if (!spool)
        return;
    if (std::fflush(spool.get()) != 0)
        throw Exception("Cannot write the undo script's temporary file");
    long end = std::ftell(spool.get());
    std::string piece;
    for (std::size_t last = lengths.size(); last > 0;) {
        // The statements [first, last) make the next piece from the end.
        std::size_t first = last, size = 0;
        while (first > 0 && (size == 0 || size + lengths[first - 1] <= kSpoolPiece))
            size += lengths[--first];
        piece.resize(size);
        end -= static_cast<long>(size);
        if (std::fseek(spool.get(), end, SEEK_SET) != 0 || std::fread(&piece[0], 1, size, spool.get()) != size)
            throw Exception("Cannot read the undo script's temporary file");
        std::size_t to = size;
        for (std::size_t i = last; i > first; --i) {
            to -= lengths[i - 1];
            write(piece.data() + to, lengths[i - 1]);
        }
        last = first;
    }
    spool.reset();
    lengths.clear();
}

}  // namespace NorvaneImpl
