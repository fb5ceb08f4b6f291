# Options of the address, leak and undefined-behaviour sanitizers for the
# sanitizer build and the fuzz targets. Sourced by scripts/test-sanitizers.sh
# and scripts/fuzz.sh; exported, so that every process the tests start reads
# them too: norvane-cli, run by its tests, is instrumented like the tests
# (isql-fb and the server are not, and ignore them).
#
# ASAN_OPTIONS:
#   halt_on_error=1, abort_on_error=1: the first error ends the process with a
#     failure the test sees.
#   detect_leaks=1: LeakSanitizer runs at exit of every instrumented program.
#   detect_stack_use_after_return=1: catches a reference to a local that
#     outlived its function.
#   strict_string_checks=1, check_initialization_order=1: stricter checks of
#     string arguments to libc and of static initialisers across files.
# LSAN_OPTIONS: the suppressions of what the Firebird client library and
#   engine leak themselves (scripts/sanitizers/lsan.supp gives the reasons).
# UBSAN_OPTIONS: a stack trace with every report and the first report ends
#   the process (the build also compiles with -fno-sanitize-recover).
_norvane_sanitizers_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:print_suppressions=0"
export LSAN_OPTIONS="suppressions=$_norvane_sanitizers_dir/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$_norvane_sanitizers_dir/ubsan.supp"
unset _norvane_sanitizers_dir
