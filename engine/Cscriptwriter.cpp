#include "engine/Cscriptwriter.h"

#include "core/AtomicFile.h"
#include "engine/Cfieldvalue.h"
#include "locale/Messages.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace NorvaneImpl {

namespace {

const char kSeparator[] = ";\n\n";

// The undo script is read back in pieces of about this many bytes, each a
// run of whole statements.
constexpr std::size_t kSpoolPiece = 1 << 20;

}  // namespace

// What goes before and after a script's statements to switch the target's
// own triggers on the given tables off and on again. isql needs another
// terminator for the execute blocks. The blocks find the triggers on the
// target when the script runs there, and quote their names only where the
// database's dialect has quoted names.
std::string TriggersOff(const std::vector<std::string>& tables)
{
    std::string list;
    for (const std::string& table : tables)
        list += (list.empty() ? "" : ", ") + Quoted(table);
    const std::string name = kTriggerName;
    return "/* The target's own triggers on the tables below are switched off while the statements run,\n"
           "   and switched on again at the end. */\n"
           "set term ^ ;\n"
           "\n"
           "execute block\n"
           "as\n"
           "    declare name varchar(63);\n"
           "    declare n integer = 0;\n"
           "begin\n"
           "    for select trim(trailing from t.rdb$trigger_name)\n"
           "        from rdb$triggers t\n"
           "        where t.rdb$relation_name in (" + list + ")\n"
           "          and coalesce(t.rdb$system_flag, 0) = 0\n"
           "          and coalesce(t.rdb$trigger_inactive, 0) = 0\n"
           "        order by t.rdb$trigger_name\n"
           "        into :name\n"
           "    do\n"
           "    begin\n"
           "        execute statement 'alter trigger ' || " + name + " || ' inactive';\n"
           "        n = n + 1;\n"
           "        rdb$set_context('USER_SESSION', 'NORVANE_TRIGGER_' || n, name);\n"
           "    end\n"
           "    rdb$set_context('USER_SESSION', 'NORVANE_TRIGGERS', n);\n"
           "end^\n"
           "\n"
           "set term ; ^\n"
           "\n"
           "commit;\n"
           "\n";
}

std::string TriggersOn()
{
    const std::string name = kTriggerName;
    return "commit;\n"
           "\n"
           "set term ^ ;\n"
           "\n"
           "execute block\n"
           "as\n"
           "    declare name varchar(63);\n"
           "    declare n integer;\n"
           "begin\n"
           "    n = cast(coalesce(rdb$get_context('USER_SESSION', 'NORVANE_TRIGGERS'), '0') as integer);\n"
           "    while (n > 0) do\n"
           "    begin\n"
           "        name = rdb$get_context('USER_SESSION', 'NORVANE_TRIGGER_' || n);\n"
           "        execute statement 'alter trigger ' || " + name + " || ' active';\n"
           "        rdb$set_context('USER_SESSION', 'NORVANE_TRIGGER_' || n, null);\n"
           "        n = n - 1;\n"
           "    end\n"
           "    rdb$set_context('USER_SESSION', 'NORVANE_TRIGGERS', null);\n"
           "end^\n"
           "\n"
           "set term ; ^\n"
           "\n"
           "commit;\n";
}

// Generators are not transactional: gen_id moves one at once, by the step
// from its value on the target. The block finds on the target the
// generators it has of the source's, so that a sister database without some
// of them, or with more, takes the script.
std::string GeneratorsUp(const std::vector<TGeneratorValue>& generators, bool dialect3)
{
    const std::string type = dialect3 ? "bigint" : "integer";
    const std::string name = kTriggerName;
    std::string calls;
    for (const TGeneratorValue& generator : generators)
        calls += "    execute procedure raise_to(" + Quoted(generator.name) + ", " + std::to_string(generator.value) +
                 ");\n";
    return "/* Each generator below that the target has is moved up to at least the value it had on the source\n"
           "   when this script was made, never down. */\n"
           "set term ^ ;\n"
           "\n"
           "execute block\n"
           "as\n"
           "    declare procedure raise_to(name varchar(63), wanted " + type + ")\n"
           "    as\n"
           "        declare got " + type + ";\n"
           "    begin\n"
           "        if (exists(select 1 from rdb$generators g where g.rdb$generator_name = :name\n"
           "                   and coalesce(g.rdb$system_flag, 0) = 0)) then\n"
           "        begin\n"
           "            execute statement 'select gen_id(' || " + name + " || ', 0) from rdb$database' into :got;\n"
           "            if (got < wanted) then\n"
           "                execute statement 'select gen_id(' || " + name + " || ', ' || (wanted - got)\n"
           "                    || ') from rdb$database' into :got;\n"
           "        end\n"
           "    end\n"
           "begin\n" +
           calls +
           "end^\n"
           "\n"
           "set term ; ^\n"
           "\n"
           "commit;\n";
}

TScriptWriter::TScriptWriter(bool aReproducing, TWrite aWrite, bool aTriggersOff)
    : reproducing(aReproducing), triggersOff(aTriggersOff), write(std::move(aWrite))
{
}

TScriptWriter::~TScriptWriter() = default;

void TScriptWriter::Add(const CLogRecord& record)
{
    ++records;
    if (triggersOff) {
        const auto table = std::find_if(tables.begin(), tables.end(),
                                        [&record](const TTable& t) { return t.name == record.GetTableName(); });
        if (table == tables.end())
            tables.push_back({record.GetTableName(), records});
        else
            table->last = records;
    }
    std::string statement = reproducing ? record.GetReproducingStatement() : record.GetUndoStatement();
    if (statement.empty()) {
        if (!reproducing && !recent.empty())
            recent[records % kCascadeWindow] = 0;
        return;
    }
    statement += kSeparator;
    // The statements wait for the list of tables that goes before them.
    if (reproducing && !triggersOff) {
        write(statement.data(), statement.size());
        return;
    }
    if (!spool) {
        // In $TMPDIR, which std::tmpfile does not read.
        TFileDescriptor file = CreateSpoolFile();
        spool.reset(fdopen(file.Get(), "w+b"));
        if (!spool)
            throw SpoolError(errno);
        file.Release();
    }
    if (std::fwrite(statement.data(), 1, statement.size(), spool.get()) != statement.size())
        throw SpoolError(errno);
    const auto number = static_cast<std::uint32_t>(lengths.size());
    lengths.push_back(static_cast<std::uint32_t>(statement.size()));
    if (!reproducing) {
        // An effect's undo follows its source's when the source has one.
        if (recent.empty())
            recent.resize(kCascadeWindow);
        recent[records % kCascadeWindow] = number + 1;
        const std::size_t distance = record.GetCascade().sourceDistance;
        if (distance > 0 && distance < kCascadeWindow && distance < records) {
            if (const std::uint32_t source = recent[(records - distance) % kCascadeWindow]) {
                followers[source - 1].push_back(number);
                moved[number] = TPlace{spooled, lengths.back()};
            }
        }
    }
    spooled += statement.size();
}

void TScriptWriter::EndWithGenerators(std::vector<TGeneratorValue> values, bool dialect3)
{
    generators = std::move(values);
    generatorsQuoted = dialect3;
}

void TScriptWriter::Finish()
{
    if (records == 0) {
        const std::string text = TScriptCharset::ProgramText(msgNoMatchedRecords);
        write(text.data(), text.size());
        return;
    }
    if (triggersOff) {
        // The tables in the order the script's records first name them:
        // for the undo script, newest first.
        if (!reproducing)
            std::stable_sort(tables.begin(), tables.end(),
                             [](const TTable& a, const TTable& b) { return a.last > b.last; });
        std::vector<std::string> names;
        for (const TTable& table : tables)
            names.push_back(table.name);
        const std::string off = TriggersOff(names);
        write(off.data(), off.size());
    }
    if (spool) {
        if (std::fflush(spool.get()) != 0)
            throw SpoolError(errno);
        if (reproducing)
            CopyForward();
        else
            CopyBackward();
    }
    if (triggersOff) {
        const std::string on = TriggersOn();
        write(on.data(), on.size());
    }
    if (reproducing && !generators.empty()) {
        const std::string up = (triggersOff ? "\n" : "") + GeneratorsUp(generators, generatorsQuoted);
        write(up.data(), up.size());
    }
    spool.reset();
    lengths.clear();
    followers.clear();
    moved.clear();
}

void TScriptWriter::CopyForward()
{
    std::rewind(spool.get());
    std::string piece(kSpoolPiece, '\0');
    std::size_t size = 0;
    while ((size = std::fread(&piece[0], 1, piece.size(), spool.get())) > 0)
        write(piece.data(), size);
    if (std::ferror(spool.get()))
        throw Exception(msgCannotReadTemp);
}

void TScriptWriter::CopyBackward()
{
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
            throw Exception(msgCannotReadTemp);
        std::size_t to = size;
        for (std::size_t i = last; i > first; --i) {
            to -= lengths[i - 1];
            if (moved.count(static_cast<std::uint32_t>(i - 1)))
                continue;
            write(piece.data() + to, lengths[i - 1]);
            if (!followers.empty())
                CopyFollowers(static_cast<std::uint32_t>(i - 1));
        }
        last = first;
    }
}

void TScriptWriter::CopyFollowers(std::uint32_t statement)
{
    // Depth first, the later effects of a source first, as the undo script
    // takes the records newest first.
    std::vector<std::uint32_t> pending;
    auto push = [this, &pending](std::uint32_t source) {
        const auto found = followers.find(source);
        if (found != followers.end())
            pending.insert(pending.end(), found->second.begin(), found->second.end());
    };
    push(statement);
    std::string text;
    while (!pending.empty()) {
        const std::uint32_t effect = pending.back();
        pending.pop_back();
        const TPlace& place = moved.at(effect);
        text.resize(place.length);
        if (std::fseek(spool.get(), static_cast<long>(place.offset), SEEK_SET) != 0 ||
            std::fread(&text[0], 1, place.length, spool.get()) != place.length)
            throw Exception(msgCannotReadTemp);
        write(text.data(), text.size());
        push(effect);
    }
}

}  // namespace NorvaneImpl
