#include "Fixtures.h"

#include "engine/Cfieldvalue.h"
#include "Process.h"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;
// SQL string literals (paths, user names) are quoted as the scripts quote values.
using NorvaneImpl::Quoted;

namespace NorvaneTest {

std::string UniqueName()
{
    static std::atomic<int> counter{0};
    std::random_device random;
    return "t" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" + std::to_string(random() % 100000);
}

TTempFolder::TTempFolder(const std::string& prefix)
{
    std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    path = pattern;
}

TTempFolder::~TTempFolder()
{
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

std::string ReadSource(const std::string& relative)
{
    const fs::path file = fs::path(NORVANE_SOURCE_DIR) / relative;
    if (!fs::exists(file))
        throw std::runtime_error("cannot read " + relative);
    return ReadFile(file);
}

std::string Env(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::vector<std::string> IsqlLogin(const std::string& location, const std::string& user, const std::string& password)
{
    std::vector<std::string> arguments = {"-user", user};
    if (!password.empty())
        arguments.insert(arguments.end(), {"-password", password});
    arguments.push_back(location);
    return arguments;
}

std::string RunIsql(const fs::path& folder, const std::string& script, const std::string& charset,
                    const std::vector<std::string>& arguments)
{
    const std::string name = UniqueName();
    const fs::path input = folder / (name + ".sql");
    WriteFile(input, script);
    std::vector<std::string> args = {"isql-fb", "-q", "-bail", "-ch", charset, "-i", input.string()};
    args.insert(args.end(), arguments.begin(), arguments.end());
    TProcessResult isql;
    try {
        isql = RunProcess(args, {folder / (name + ".out")});
    } catch (...) {
        fs::remove(input);
        throw;
    }
    fs::remove(input);
    // isql sets a failing exit code on an error in the script; some messages
    // come with code 0 when -bail stops it, so the text is checked too.
    if (!isql.Succeeded() || isql.output.find("Statement failed") != std::string::npos ||
        isql.output.find("SQLSTATE") != std::string::npos)
        throw std::runtime_error("isql-fb failed:\n" + isql.output + "\nscript:\n" + script);
    return isql.output;
}

std::string CreateDatabaseSql(const std::string& location, const std::string& user, const std::string& password,
                              const std::string& charset, int dialect)
{
    return "set sql dialect " + std::to_string(dialect) + ";\ncreate database " + Quoted(location) + " user " +
           Quoted(user) + (password.empty() ? "" : " password " + Quoted(password)) +
           " page_size 8192 default character set " + charset + ";\n";
}

std::string LoggedChangesSql(int entries)
{
    const int inserts = entries * 2 / 5;
    const int updates = entries * 2 / 5;
    const int deletes = entries - inserts - updates;
    std::ostringstream sql;
    sql << ReadSource("scripts/demo/log-tables.sql") << ReadSource("scripts/demo/schema.sql")
        << ReadSource("scripts/demo/log-triggers.sql") << "set term ^ ;\n"
           "execute block as\n"
           "    declare i integer;\n"
           "begin\n"
           "    i = 0;\n"
           "    while (i < "
        << inserts
        << ") do begin\n"
           "        insert into goods (id, title, price, weight, unit, stock)\n"
           "            values (:i + 1, 'Item ' || :i || '; O''Brien''s choice', mod(:i * 7, 100000) / 100.0,\n"
           "                    :i / 8.0e0, 'pcs', mod(:i, 30000));\n"
           "        i = i + 1;\n"
           "    end\n"
           "    i = 0;\n"
           "    while (i < "
        << updates
        << ") do begin\n"
           "        update goods set title = 'Item ' || :i || ' (sale)', price = price + 1, stock = stock + 1\n"
           "            where id = mod(:i, "
        << (inserts > 0 ? inserts : 1)
        << ") + 1;\n"
           "        i = i + 1;\n"
           "    end\n"
           "    i = 0;\n"
           "    while (i < "
        << deletes
        << ") do begin\n"
           "        delete from goods where id = :i + 1;\n"
           "        i = i + 1;\n"
           "    end\n"
           "end^\n"
           "set term ; ^\n"
           "commit;\n";
    return sql.str();
}

}  // namespace NorvaneTest
