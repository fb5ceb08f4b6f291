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
#   intercept_tls_get_addr=0: GCC 12's runtime takes a thread-local block of a
#     shared library (libfbclient has them) for one with the header of glibc
#     2.19 and older whenever the block starts 16 bytes into a page, and reads
#     its start and size from the two words before it. Since glibc 2.25 there
#     is no such header: those words belong to malloc, the range is garbage
#     (verbosity=2 logs "glibc >=2.19 suspected; tls={0x300000799
#     0x2800001102}" in every test that attaches), and when the thread that
#     owns it is still alive at exit LeakSanitizer's tracer scans it and dies
#     with "Tracer caught signal 11". Without the interception the blocks
#     are still found as the heap blocks they are, reached from each thread's
#     vector of them.
# LSAN_OPTIONS: the suppressions of what the Firebird client library and
#   engine leak themselves (scripts/sanitizers/lsan.supp gives the reasons).
# UBSAN_OPTIONS: a stack trace with every report and the first report ends
#   the process (the build also compiles with -fno-sanitize-recover).
_norvane_sanitizers_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:intercept_tls_get_addr=0:print_suppressions=0"
export LSAN_OPTIONS="suppressions=$_norvane_sanitizers_dir/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$_norvane_sanitizers_dir/ubsan.supp"
unset _norvane_sanitizers_dir
