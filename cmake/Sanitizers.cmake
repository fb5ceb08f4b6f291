# Sanitizer builds.
#
# NORVANE_SANITIZE: AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer on every target: core, command-line tool,
# window, tests and benchmark. Undefined behaviour stops the program at the
# first report, as a memory error does. scripts/test-sanitizers.sh builds and
# runs the whole test suite this way.
#
# NORVANE_FUZZ: the libFuzzer targets under fuzz/ (clang only). Everything
# they link is compiled with the fuzzer's coverage instrumentation and the
# same sanitizers; scripts/fuzz.sh builds and runs them.
option(NORVANE_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(NORVANE_FUZZ "Build the libFuzzer targets under fuzz/ (clang)" OFF)

set(NORVANE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)

if(NORVANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "NORVANE_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link ${NORVANE_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
elseif(NORVANE_SANITIZE)
  add_compile_options(${NORVANE_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
endif()
