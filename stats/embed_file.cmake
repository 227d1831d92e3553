# Writes a C++ source that holds the text of one of the report's inline elements as an array,
# with its Content-Security-Policy hash source, at build time:
#   cmake -DINPUT=charts.js -DOUTPUT=charts_js.cpp -DSYMBOL=kChartsScript -DELEMENT=script
#         [-DLINE_AFTER=ON] -P embed_file.cmake
# The element holds a line break and then the file; LINE_AFTER adds one after it (Chart.js is
# kept between lines of its own). An array, not a string literal: compilers limit the length of
# literals, and the bytes stay exactly as in the file.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/csp_hash.cmake)

if(NOT ELEMENT STREQUAL "script" AND NOT ELEMENT STREQUAL "style")
  message(FATAL_ERROR "embed_file.cmake: ELEMENT must be script or style, not \"${ELEMENT}\"")
endif()
file(READ ${INPUT} text)
file(READ ${INPUT} hex HEX)
# The HTML parser ends the element at "</script" (or "</style") in any case, and after "<!--" in
# a script it may read a "<script" as an element of its own: neither can be inlined.
string(TOLOWER "${text}" lowered)
set(refused "</${ELEMENT}")
if(ELEMENT STREQUAL "script")
  list(APPEND refused "<!--")
endif()
foreach(sequence IN LISTS refused)
  string(FIND "${lowered}" "${sequence}" found)
  if(NOT found EQUAL -1)
    message(FATAL_ERROR "${INPUT} holds \"${sequence}\" (in any case); it cannot be inlined "
                        "into the report's <${ELEMENT}> element")
  endif()
endforeach()

set(element_text "\n${text}")
set(element_hex "0a${hex}")
if(LINE_AFTER)
  string(APPEND element_text "\n")
  string(APPEND element_hex "0a")
endif()
# The hash is the element's own bytes': written out and read back, so a byte CMake's strings
# cannot carry fails the build instead of the page.
set(element_file ${OUTPUT}.element)
file(WRITE ${element_file} "${element_text}")
file(READ ${element_file} written HEX)
if(NOT written STREQUAL element_hex)
  message(FATAL_ERROR "${INPUT} holds bytes that cannot be embedded (a NUL byte?)")
endif()
csp_hash_source(hash ${element_file})
file(REMOVE ${element_file})

string(LENGTH "${element_hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${element_hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}.tmp
     "// Generated from ${INPUT} by embed_file.cmake.\n#include \"stats/report_assets.h\"\n\n"
     "namespace tallyrig::stats {\n\nnamespace {\nconst unsigned char kBytes[] = {\n${bytes}};\n}"
     "  // namespace\n\nconst EmbeddedText ${SYMBOL} = {kBytes, ${size}, \"${hash}\"};\n\n"
     "}  // namespace tallyrig::stats\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
