# Finds the Firebird client library (libfbclient, the InterBase C API of
# ibase.h). From Firebird 3 on the embedded engine is reached through the same
# library: a plain file path opens the database in-process.
find_path(Firebird_INCLUDE_DIR ibase.h PATH_SUFFIXES firebird)
find_library(Firebird_LIBRARY NAMES fbclient fbclient_ms gds)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Firebird REQUIRED_VARS Firebird_LIBRARY Firebird_INCLUDE_DIR)
if(Firebird_FOUND AND NOT TARGET Firebird::Firebird)
  add_library(Firebird::Firebird UNKNOWN IMPORTED)
  set_target_properties(Firebird::Firebird PROPERTIES
    IMPORTED_LOCATION "${Firebird_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Firebird_INCLUDE_DIR}")
endif()
mark_as_advanced(Firebird_INCLUDE_DIR Firebird_LIBRARY)
