#pragma once
// The room tables take in a database file, as the engine's own statistics
// count it (gstat -t, asked of the services manager): the pages of a
// table's data, BLOBs and indexes. Reading them walks the tables' pages, so
// it lasts about as long as reading every row; it needs the database's
// owner or SYSDBA.
#include <string>
#include <vector>

struct TTablePages {
    std::string table;
    long long pages = 0;  // pointer, data and BLOB pages, index root and leaf pages
};

struct TTableStatistics {
    long long pageSize = 0;
    std::vector<TTablePages> tables;  // in the order the engine reports them
};

// The tables' pages in the database at the location: a file on this
// machine, or host:path and host/port:path on a server, whose services
// manager is asked. Throws ConnectError when the services manager refuses
// the user, DBManagerError for any other failure.
TTableStatistics ReadTableStatistics(const std::string& location, const std::string& user, const std::string& password,
                                     const std::vector<std::string>& tables);

// The statistics in the text that gstat writes.
TTableStatistics ParseTableStatistics(const std::string& text);
