// The :NAME parameter scanner of the database layer over arbitrary query
// texts: the text the client library is given and the parameters the query
// makes of its markers.
#include "FuzzUtil.h"

#include "db/Ibclient.h"
#include "db/Tdbmanager.h"

#include <algorithm>
#include <cstdint>
#include <string>

using FuzzUtil::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string sql(reinterpret_cast<const char*>(data), size);

    const IBClient::TParsedSQL parsed = IBClient::ParseParamMarkers(sql);
    // A marker is at least two characters (":X") and becomes one '?'.
    Check(parsed.text.size() + parsed.names.size() <= sql.size(), "the statement text only shrinks by markers");
    const bool hasColon = sql.find(':') != std::string::npos;
    Check(hasColon || (parsed.names.empty() && parsed.text == sql), "a text without ':' passes unchanged");
    for (const std::string& name : parsed.names)
        Check(sql.find(":" + name) != std::string::npos || sql.find(":\"" + name + "\"") != std::string::npos,
              "a marker name comes from the text", name);
    const size_t questionMarks = static_cast<size_t>(std::count(parsed.text.begin(), parsed.text.end(), '?'));
    Check(questionMarks >= parsed.names.size(), "every marker leaves a '?'");

    // The same scan through the manager, which needs no connection for it.
    TParams given;
    given.CreateParam(ftInteger, "ID").SetAsInteger(7);
    given.CreateParam(ftDateTime, "DATE_FROM").SetAsDateTime(37000.5);
    TDataSet query;
    try {
        TDBManager::GetInstance().PrepareQuery(query, sql, &given);
    } catch (const TooShortSQLError&) {
        Check(sql.size() < 5, "only a short text is too short");
        return 0;
    }
    Check(query.SQL() == sql, "the query keeps its text");
    const TParams& params = query.Params();
    Check(params.Count() <= parsed.names.size(), "one parameter per marker name at most");
    for (size_t i = 0; i < params.Count(); ++i) {
        const TParam& param = params[i];
        Check(params.FindParam(param.Name) == &param, "parameter names are unique", param.Name);
        const TParam* source = given.FindParam(param.Name);
        if (source)
            Check(!param.IsNull() && param.AsInteger() == source->AsInteger(), "a given value is taken", param.Name);
        else
            Check(param.IsNull(), "a parameter not given stays null", param.Name);
    }
    for (const std::string& name : parsed.names)
        Check(params.FindParam(name) != nullptr, "every marker name has its parameter", name);
    return 0;
}
