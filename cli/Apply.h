#pragma once
// norvane-cli apply, and the state file of norvane-cli --state.
#include "cli/Options.h"
#include "engine/Failure.h"

#include <functional>
#include <string>

namespace NorvaneImpl {
class TReceivedLog;
}

// Shows a message on standard error; the failure of a run, in words.
using TSay = std::function<void(const std::string& text)>;
using TReport = std::function<void(const Norvane::TFailure& failure)>;

// Runs norvane-cli apply; returns the exit status.
int RunApply(const CliOptions& options, const TSay& say, const TReport& report);

// The source name of the options: --source-name, else the file name of the
// database's location.
std::string SourceName(const CliOptions& options);
// The entries written before according to the state file of the source; a
// file that does not exist yet: none. Throws NorvaneImpl::CEBookkeeping for
// a file that cannot be read, is no state file or belongs to another source.
NorvaneImpl::TReceivedLog ReadState(const std::string& file, const std::string& source);
// The text of the state file.
std::string StateText(const NorvaneImpl::TReceivedLog& log, const std::string& source);
