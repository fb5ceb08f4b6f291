#include "db/Tdbstats.h"

#include "db/Dbmanagererror.h"
#include "db/Ibclient.h"
#include "db/Tservercall.h"
#include "locale/Messages.h"

#include <cstdlib>
#include <sstream>

using namespace IBClient;

namespace {

struct TServiceTraits {
    static void Release(FB_API_HANDLE& handle) noexcept
    {
        const TServerCall call;
        TStatus status;
        isc_service_detach(status.get(), &handle);
    }
};
using TService = THandle<TServiceTraits>;

// A cluster of a parameter block whose length takes one byte.
void AddShort(std::string& block, char code, const std::string& value)
{
    block += code;
    block += static_cast<char>(value.size() < 255 ? value.size() : 255);
    block.append(value, 0, value.size() < 255 ? value.size() : 255);
}

// ... and one whose length takes two, the lower byte first.
void AddLong(std::string& block, char code, const std::string& value)
{
    block += code;
    block += static_cast<char>(value.size() & 0xFF);
    block += static_cast<char>((value.size() >> 8) & 0xFF);
    block += value;
}

// The number after `label` in the line, added to total; whether there was one.
bool AddNumberAfter(const std::string& line, const std::string& label, long long& total)
{
    const std::size_t at = line.find(label);
    if (at == std::string::npos)
        return false;
    total += std::atoll(line.c_str() + at + label.size());
    return true;
}

}  // namespace

TTableStatistics ParseTableStatistics(const std::string& text)
{
    TTableStatistics statistics;
    std::istringstream lines(text);
    std::string line;
    bool analysing = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find("Page size") != std::string::npos && statistics.pageSize == 0) {
            statistics.pageSize = std::atoll(line.c_str() + line.find("Page size") + 9);
            continue;
        }
        if (line.rfind("Analyzing database pages", 0) == 0) {
            analysing = true;
            continue;
        }
        if (!analysing || line.empty())
            continue;
        // A table begins at the start of a line: "IBE$LOG_KEYS (130) ".
        const std::size_t open = line.rfind(" (");
        if (line[0] != ' ' && line[0] != '\t' && open != std::string::npos &&
            line.find(')', open) != std::string::npos) {
            statistics.tables.push_back({line.substr(0, open), 0});
            continue;
        }
        if (statistics.tables.empty())
            continue;
        long long& pages = statistics.tables.back().pages;
        AddNumberAfter(line, "Pointer pages: ", pages);
        AddNumberAfter(line, "Data pages: ", pages);
        AddNumberAfter(line, "blob pages: ", pages);
        AddNumberAfter(line, "leaf buckets: ", pages);
        if (line.find("Index root page") != std::string::npos)
            ++pages;
    }
    return statistics;
}

TTableStatistics ReadTableStatistics(const std::string& location, const std::string& user, const std::string& password,
                                     const std::vector<std::string>& tables)
{
    // host:path and host/port:path name the server's services manager the
    // same way; a file is this machine's, reached through the embedded
    // engine.
    std::string service = "service_mgr";
    std::string path = location;
    const std::size_t colon = location.find(':');
    if (colon != std::string::npos && location.find("://") == std::string::npos) {
        service = location.substr(0, colon + 1) + service;
        path = location.substr(colon + 1);
    }

    std::string attach(1, static_cast<char>(isc_spb_version));
    attach += static_cast<char>(isc_spb_current_version);
    AddShort(attach, isc_spb_user_name, user);
    if (!password.empty())
        AddShort(attach, isc_spb_password, password);
    TService handle;
    TStatus status;
    if (const TServerCall call; isc_service_attach(status.get(), 0, service.c_str(), handle.Ptr(),
                                                   static_cast<unsigned short>(attach.size()), attach.data()))
        throw ConnectError(status.Text(), service);

    std::string request(1, static_cast<char>(isc_action_svc_db_stats));
    AddLong(request, isc_spb_dbname, path);
    const unsigned options = isc_spb_sts_data_pages | isc_spb_sts_idx_pages | isc_spb_sts_record_versions;
    request += static_cast<char>(isc_spb_options);
    for (int i = 0; i < 4; ++i)
        request += static_cast<char>((options >> (8 * i)) & 0xFF);
    for (const std::string& table : tables)
        AddLong(request, isc_spb_sts_table, table);
    if (const TServerCall call; isc_service_start(status.get(), handle.Ptr(), nullptr,
                                                  static_cast<unsigned short>(request.size()), request.data()))
        throw DBManagerError(status.Text());

    // The report comes in pieces, each as much as the buffer holds, until
    // one comes empty.
    std::string text;
    const char items[] = {isc_info_svc_to_eof};
    for (;;) {
        char buffer[16384];
        if (const TServerCall call; isc_service_query(status.get(), handle.Ptr(), nullptr, 0, nullptr, sizeof items,
                                                      items, sizeof buffer, buffer))
            throw DBManagerError(status.Text());
        bool more = false;
        std::size_t got = 0;
        for (const char* p = buffer; p < buffer + sizeof buffer && *p != isc_info_end;) {
            const char item = *p++;
            if (item == isc_info_svc_to_eof) {
                const auto length = static_cast<std::size_t>(isc_vax_integer(p, 2));
                p += 2;
                text.append(p, length);
                got += length;
                p += length;
            } else if (item == isc_info_truncated || item == isc_info_data_not_ready || item == isc_info_svc_timeout) {
                more = true;
            } else {
                break;
            }
        }
        if (got == 0 && !more)
            break;
    }
    // A failure, such as a table the engine does not know, is told in the
    // report's last line instead of the tables.
    TTableStatistics statistics = ParseTableStatistics(text);
    if (statistics.tables.empty() && !tables.empty()) {
        std::istringstream lines(text);
        std::string line;
        std::string last;
        while (std::getline(lines, line))
            if (line.find_first_not_of(" \t\r") != std::string::npos)
                last = line.substr(0, line.find_last_not_of(" \t\r") + 1);
        throw DBManagerError(last.empty() ? msgStatsNoTables : last);
    }
    return statistics;
}
