# Writes a C++ source that holds a file's bytes as an array, at build time:
#   cmake -DINPUT=chart.min.js -DOUTPUT=chart_js.cpp -DSYMBOL=kChartJs -P embed_file.cmake
# An array, not a string literal: compilers limit the length of literals, and the bytes stay
# exactly as shipped.
cmake_minimum_required(VERSION 3.25)
file(READ ${INPUT} text)
string(TOLOWER "${text}" lowered)
# The script goes inside the report's own <script> element.
string(FIND "${lowered}" "</script" closing)
if(NOT closing EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds \"</script\"; it cannot be inlined into a report")
endif()
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}.tmp
     "// Generated from ${INPUT} by embed_file.cmake.\n#include <cstddef>\n\n"
     "namespace tallyrig::stats {\n\nextern const unsigned char ${SYMBOL}[];\n"
     "extern const std::size_t ${SYMBOL}Size;\n"
     "const unsigned char ${SYMBOL}[] = {\n${bytes}};\n"
     "const std::size_t ${SYMBOL}Size = ${size};\n\n}  // namespace tallyrig::stats\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
