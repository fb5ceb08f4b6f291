cmake_minimum_required(VERSION 3.22)

# Run with cmake -P: turns the readable texts of res/ into a C++ source that
# holds their Windows-1251 bytes with CR LF line ends, and the table of
# BuiltinTexts.h that finds them by type name and number; and a header that
# names each number after its file (help-10110-english.txt: kHelpEnglish).
#
#   -DICONV=<iconv program> -DSOURCE_DIR=<res folder> -DOUTPUT=<generated .cpp>
#   -DOUTPUT_IDS=<generated header>
#   [-DOTHER_TEXTS=<name>=<path>|<name>=<path>...]
#
# OTHER_TEXTS: files kept elsewhere in the tree, built in as if they lay in
# res/ under the name given (which follows the same pattern).

foreach(var ICONV SOURCE_DIR OUTPUT OUTPUT_IDS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "EmbedTexts.cmake needs -D${var}=...")
  endif()
endforeach()

set(name_pattern "^([a-z]+)-([0-9]+)(-[^.]*)?\\.(sql|xml|ini|txt)$")
file(GLOB texts RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(text IN LISTS texts)
  set(path_of_${text} "${SOURCE_DIR}/${text}")
endforeach()
if(OTHER_TEXTS)
  string(REPLACE "|" ";" others "${OTHER_TEXTS}")
  foreach(other IN LISTS others)
    if(NOT other MATCHES "^([^=]+)=(.+)$")
      message(FATAL_ERROR "OTHER_TEXTS: '${other}' is not <name>=<path>")
    endif()
    set(text "${CMAKE_MATCH_1}")
    if(DEFINED path_of_${text})
      message(FATAL_ERROR "${CMAKE_MATCH_2}: res/${text} is there already")
    endif()
    set(path_of_${text} "${CMAKE_MATCH_2}")
    list(APPEND texts "${text}")
  endforeach()
endif()
list(SORT texts)
get_filename_component(work_dir "${OUTPUT}" DIRECTORY)
set(converted "${OUTPUT}.cp1251")

set(arrays "")
set(entries "")
set(ids "")
set(seen "")
set(index 0)
foreach(text IN LISTS texts)
  if(NOT text MATCHES "${name_pattern}")
    continue()
  endif()
  string(TOUPPER "${CMAKE_MATCH_1}" type_name)
  set(number "${CMAKE_MATCH_2}")
  # The constant's name: k, then the type and each word capitalised; a file
  # without words is named by its number.
  set(words "${CMAKE_MATCH_1}${CMAKE_MATCH_3}")
  if(NOT CMAKE_MATCH_3)
    set(words "${CMAKE_MATCH_1}-${number}")
  endif()
  string(REPLACE "-" ";" words "${words}")
  set(id "k")
  foreach(word IN LISTS words)
    string(SUBSTRING "${word}" 0 1 head)
    string(SUBSTRING "${word}" 1 -1 tail)
    string(TOUPPER "${head}" head)
    string(APPEND id "${head}${tail}")
  endforeach()
  if(NOT id MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "res/${text}: ${id} is no C++ name")
  endif()
  if("${type_name}/${number}" IN_LIST seen)
    message(FATAL_ERROR "res/${text}: a second text ${type_name} ${number}")
  endif()
  list(APPEND seen "${type_name}/${number}")

  execute_process(
    COMMAND "${ICONV}" -f UTF-8 -t WINDOWS-1251 "${path_of_${text}}"
    OUTPUT_FILE "${converted}"
    RESULT_VARIABLE failed
    ERROR_VARIABLE why)
  if(failed)
    message(FATAL_ERROR "${path_of_${text}} is not UTF-8 text that Windows-1251 can hold: ${why}")
  endif()
  file(READ "${converted}" hex HEX)

  # One "0xNN," per byte. Since "0x" only begins a byte, the line-feed byte
  # can be matched as a whole; a carriage return left by an editor is
  # dropped first, so every line ends with exactly one CR LF.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPLACE "0x0d," "" bytes "${bytes}")
  string(REPLACE "0x0a," "0x0d,0x0a,\n" bytes "${bytes}")
  string(REPLACE "\n" "" flat "${bytes}")
  string(LENGTH "${flat}" length)
  math(EXPR size "${length} / 5")
  if(size EQUAL 0)
    set(bytes "0x00,")  # an array cannot be empty; the size says 0
  endif()

  file(RELATIVE_PATH shown "${SOURCE_DIR}/.." "${path_of_${text}}")
  string(APPEND arrays "// ${shown}\nconst unsigned char text${index}[] = {\n${bytes}\n};\n\n")
  string(APPEND entries "    {\"${type_name}\", ${number}, text${index}, ${size}},\n")
  string(APPEND ids "// ${shown}, type ${type_name}\nconstexpr int ${id} = ${number};\n")
  math(EXPR index "${index} + 1")
endforeach()
file(REMOVE "${converted}")

if(index EQUAL 0)
  message(FATAL_ERROR "no texts found in ${SOURCE_DIR}")
endif()

file(WRITE "${OUTPUT}.new"
"// Generated at build time by res/EmbedTexts.cmake from the files in res/ and\n// the files of the tree it was given.\n"
"#include \"res/BuiltinTexts.h\"\n\n"
"namespace {\n\n"
"${arrays}"
"}  // namespace\n\n"
"namespace BuiltinTexts {\n\n"
"const TText table[] = {\n${entries}};\n\n"
"const std::size_t tableSize = sizeof(table) / sizeof(table[0]);\n\n"
"}  // namespace BuiltinTexts\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")

file(WRITE "${OUTPUT_IDS}.new"
"// Generated at build time from the file names in res/ by res/EmbedTexts.cmake:\n"
"// the number of each built-in text, for LoadResourceText.\n"
"#pragma once\n\n"
"namespace BuiltinTexts {\n\n"
"${ids}\n"
"}  // namespace BuiltinTexts\n")
file(COPY_FILE "${OUTPUT_IDS}.new" "${OUTPUT_IDS}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT_IDS}.new")
