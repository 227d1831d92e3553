# Makes the release zip and SHA256SUMS beside it, the same bytes from every build of one commit:
# the entries in a fixed order, each dated 1980-01-01 00:00 with the same permissions and no
# extra fields (owner, access times).
#   cmake -DZIP=zip -DOUT_DIR=... -DSTAGE=<scratch folder> -DARCHIVE=name.zip -DDLL=...
#         -DSTATS=... -DLICENSE=...
#         -DGUIDE=docs/install.md -DNOTICES="title|file[|file]...^..." -P release_zip.cmake
cmake_minimum_required(VERSION 3.25)

set(stage ${STAGE})
file(REMOVE_RECURSE ${stage})
file(REMOVE ${OUT_DIR}/${ARCHIVE} ${OUT_DIR}/SHA256SUMS)
file(MAKE_DIRECTORY ${stage})

set(notices "Third-party software in Tallyrig.dll and tallyrig-stats.exe\n")
string(APPEND notices "============================================================\n\n")
string(APPEND notices "Both files are built with clang-cl against Microsoft's C++ Standard Library. The ")
string(APPEND notices "licence of each library whose code they hold follows in full. The Visual C++ ")
string(APPEND notices "runtime DLLs they load come with Microsoft's redistributable, not with this zip.\n")
string(REPLACE "^" ";" NOTICES "${NOTICES}")
foreach(notice IN LISTS NOTICES)
  string(REPLACE "|" ";" title_and_files "${notice}")
  list(POP_FRONT title_and_files title)
  string(APPEND notices "\n\n${title}\n")
  string(REGEX REPLACE "." "-" rule "${title}")
  string(APPEND notices "${rule}\n")
  foreach(file IN LISTS title_and_files)
    file(READ ${file} text)
    string(APPEND notices "\n${text}")
  endforeach()
endforeach()
# Windows' line ends, as the other text files a player opens there.
string(REPLACE "\r\n" "\n" notices "${notices}")
string(REPLACE "\n" "\r\n" notices "${notices}")
file(WRITE ${stage}/THIRD-PARTY-NOTICES.txt "${notices}")

set(permissions FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(COPY ${DLL} ${STATS} ${LICENSE} DESTINATION ${stage} ${permissions})
file(COPY_FILE ${GUIDE} ${stage}/INSTALL.md)
file(CHMOD ${stage}/INSTALL.md ${stage}/THIRD-PARTY-NOTICES.txt PERMISSIONS OWNER_READ OWNER_WRITE
     GROUP_READ WORLD_READ)

set(entries INSTALL.md LICENSE THIRD-PARTY-NOTICES.txt Tallyrig.dll tallyrig-stats.exe)
set(ENV{TZ} UTC)
execute_process(COMMAND touch -d "1980-01-01 00:00:00" ${entries} WORKING_DIRECTORY ${stage}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not set the entries' times in ${stage}")
endif()
execute_process(COMMAND ${ZIP} -q -X -D -9 ${OUT_DIR}/${ARCHIVE} ${entries}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${ZIP} could not make ${OUT_DIR}/${ARCHIVE}")
endif()
file(SHA256 ${OUT_DIR}/${ARCHIVE} sum)
file(WRITE ${OUT_DIR}/SHA256SUMS "${sum}  ${ARCHIVE}\n")
