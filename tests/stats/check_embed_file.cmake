# The build's embedding of the report's scripts and style: the hash sources against known
# SHA-256 digests, the bytes and hash of an embedded element, and the refusal of what would end
# or unsettle the element.
#   cmake -DEMBED=stats/embed_file.cmake -DWORK_DIR=... -P check_embed_file.cmake
cmake_minimum_required(VERSION 3.25)
get_filename_component(_stats ${EMBED} DIRECTORY)
include(${_stats}/csp_hash.cmake)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(failures 0)
macro(fail)
  message(SEND_ERROR ${ARGN})
  math(EXPR failures "${failures} + 1")
endmacro()

# Known digests, across the block boundaries: 56 bytes no longer leave room for the length.
set(text_abc "abc")
set(hash_abc "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=")
set(text_empty "")
set(hash_empty "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=")
set(text_56 "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")
set(hash_56 "JI1qYdIGOLjlwCaTDD5gOaM85Flk/yFn9uzt1BnbBsE=")
string(REPEAT "a" 64 text_64)
set(hash_64 "/+BU/nrgy23GXDr5th1SCfQ5hR20PQulmXM33xVGaOs=")
string(REPEAT "a" 1000000 text_million)
set(hash_million "zcduXJkU+5KBocfihNc+Z/GAmkiklyAOBG05zMcRLNA=")
foreach(case abc empty 56 64 million)
  file(WRITE ${WORK_DIR}/${case}.txt "${text_${case}}")
  csp_hash_source(source ${WORK_DIR}/${case}.txt)
  if(NOT source STREQUAL "'sha256-${hash_${case}}'")
    fail("hash source of ${case}: ${source}, expected 'sha256-${hash_${case}}'")
  endif()
endforeach()
# Base64's padding: one byte left over, two left over, none.
foreach(pair "61=YQ==" "6162=YWI=" "616263=YWJj" "00ff10=AP8Q" "ffffffff=/////w==")
  string(REPLACE "=" ";" pair_list "${pair}")
  list(GET pair_list 0 hex)
  string(FIND "${pair}" "=" split)
  math(EXPR split "${split} + 1")
  string(SUBSTRING "${pair}" ${split} -1 expected)
  hex_to_base64(encoded "${hex}")
  if(NOT encoded STREQUAL expected)
    fail("base64 of ${hex}: ${encoded}, expected ${expected}")
  endif()
endforeach()

# Whether `text` holds `part`, as it stands.
function(holds out text part)
  string(FIND "${text}" "${part}" at)
  if(at EQUAL -1)
    set(${out} FALSE PARENT_SCOPE)
  else()
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()

function(embed input element)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${input}.cpp -DSYMBOL=kEmbedded
            -DELEMENT=${element} ${ARGN} -P ${EMBED}
    RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_QUIET)
  set(result ${result} PARENT_SCOPE)
  string(REGEX REPLACE "[ \n]+" " " errors "${errors}")
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

# The element holds a line break, the file and, with LINE_AFTER, one more.
macro(expect_embedded option bytes size hash)
  embed(${WORK_DIR}/good.js script ${option})
  file(READ ${WORK_DIR}/good.js.cpp generated)
  holds(has_bytes "${generated}" "= {\n${bytes}};")
  holds(has_hash "${generated}" "kEmbedded = {kBytes, ${size}, \"'sha256-${hash}'\"};")
  if(NOT result EQUAL 0 OR NOT has_bytes OR NOT has_hash)
    fail("good.js ${option}: ${result} ${errors}\n${generated}")
  endif()
endmacro()
file(WRITE ${WORK_DIR}/good.js "abc")
expect_embedded("" "0x0a,0x61,0x62,0x63," 4 "8505v8mSh7hIeA1BEOtmPw58NErkH0ajkMQTW4ncJ1Y=")
expect_embedded(-DLINE_AFTER=ON "0x0a,0x61,0x62,0x63,0x0a," 5
                "Qm4HmXEdCuJPnPY3Yel/ji0KXPRpXWyVchZFo1L9jZg=")
# "<!--" is harmless in a style sheet, "</script" too.
file(WRITE ${WORK_DIR}/good.css "a { } <!-- </script>")
embed(${WORK_DIR}/good.css style)
if(NOT result EQUAL 0)
  fail("good.css refused: ${errors}")
endif()

# Each refusal fails the build and names the file and what it holds.
foreach(case "comment.js|script|x = 1 // <!-- old browsers|<!--"
             "close.js|script|s = '</script>'|</script"
             "upper.js|script|s = '</SCRIPT >'|</script"
             "mixed.js|script|s = '</sCrIpT'|</script"
             "close.css|style|a { } </Style>|</style")
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 name)
  list(GET fields 1 element)
  list(GET fields 2 content)
  list(GET fields 3 sequence)
  file(WRITE ${WORK_DIR}/${name} "${content}")
  file(REMOVE ${WORK_DIR}/${name}.cpp)
  embed(${WORK_DIR}/${name} ${element})
  holds(named "${errors}" "${WORK_DIR}/${name} holds \"${sequence}\" (in any case); it cannot be inlined into the report's <${element}> element")
  if(result EQUAL 0 OR EXISTS ${WORK_DIR}/${name}.cpp)
    fail("${name} was embedded")
  elseif(NOT named)
    fail("${name}: unexpected message: ${errors}")
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} embedding checks failed")
endif()
message(STATUS "embedding: hashes, bytes and refusals as expected")
