# What MSVC's libraries give every module of the msvc-abi build (cmake/msvc-abi.cmake): import
# libraries for the runtime DLLs and Windows, made from wine's own DLLs, and the static pieces:
# entry points, static constructors and atexit, operator new and delete, type_info's virtual
# table and name list, thread-safe local statics and the TLS directory, _fltused, the security
# cookie, __chkstk and the STL's static code.

# An import library per DLL, from the names its export table lists. Made when the build folder
# is configured; wine's DLLs change only with the wine package.
set(_import_dir ${CMAKE_BINARY_DIR}/msvc-abi/lib)
file(MAKE_DIRECTORY ${_import_dir})
set(_import_dlls vcruntime140 ucrtbase msvcp140 kernel32 user32 advapi32 version)
foreach(_dll IN LISTS _import_dlls)
  set(_lib ${_import_dir}/${_dll}.lib)
  if(EXISTS ${_lib} AND NOT ${TALLYRIG_WINE_DLLS}/${_dll}.dll IS_NEWER_THAN ${_lib})
    continue()
  endif()
  execute_process(COMMAND ${TALLYRIG_READOBJ} --coff-exports ${TALLYRIG_WINE_DLLS}/${_dll}.dll
                  OUTPUT_VARIABLE _dump RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "${TALLYRIG_READOBJ} could not read ${TALLYRIG_WINE_DLLS}/${_dll}.dll")
  endif()
  string(REGEX MATCHALL "\n  Name: [^\n]+" _names "${_dump}")
  list(TRANSFORM _names REPLACE "^\n  Name: " "")
  list(JOIN _names "\n" _names)
  file(WRITE ${_import_dir}/${_dll}.def "LIBRARY ${_dll}.dll\nEXPORTS\n${_names}\n")
  execute_process(COMMAND ${TALLYRIG_DLLTOOL} -m i386:x86-64 -d ${_import_dir}/${_dll}.def
                          -l ${_lib} RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "${TALLYRIG_DLLTOOL} could not make ${_lib}")
  endif()
endforeach()

# vcruntime140 first, as MSVC links it: exception handling and mem* come from it, not ucrtbase.
# Nothing else: the compiler's /DEFAULTLIB names (msvcrt, msvcprt, oldnames) do not exist here.
string(JOIN " " CMAKE_CXX_STANDARD_LIBRARIES vcruntime140.lib ucrtbase.lib msvcp140.lib
       kernel32.lib user32.lib advapi32.lib)
set(CMAKE_C_STANDARD_LIBRARIES "${CMAKE_CXX_STANDARD_LIBRARIES}")
# Two builds of one commit give the same bytes, wherever their source and build folders are.
# Objects: no time stamps (/Brepro); the compiler is given each source relative to the build
# folder (relative-source.sh); __FILE__ and the debug information name sources under a fixed
# root, tallyrig/, instead of the source folder, and carry no command line. Images: a hash of the
# contents for the link time
# (/Brepro); the PDB named by its bare name (/pdbaltpath). The PDB's identity, which the image
# holds, is a hash of the PDB: it must not see the folders either, so the linker's working folder
# in it is a fixed name (/pdbsourcepath) and the import libraries' folder is given relative to
# the build folder, where Ninja runs every command.
file(RELATIVE_PATH _source_from_build ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
string(REGEX REPLACE "/$" "" _source_from_build "${_source_from_build}")
set(_reproducible_objects /Brepro /clang:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=tallyrig/
    /clang:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=
    /clang:-ffile-prefix-map=${_source_from_build}/=tallyrig/ /clang:-fdebug-compilation-dir=.
    /clang:-gno-codeview-command-line)
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${_reproducible_objects}>")
if(CMAKE_GENERATOR MATCHES "Ninja")
  set(CMAKE_C_COMPILER_LAUNCHER ${PROJECT_SOURCE_DIR}/cmake/msvc-abi/relative-source.sh)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${PROJECT_SOURCE_DIR}/cmake/msvc-abi/relative-source.sh)
endif()
set(_import_libpath ${_import_dir})
if(CMAKE_GENERATOR MATCHES "Ninja")
  file(RELATIVE_PATH _import_libpath ${CMAKE_BINARY_DIR} ${_import_dir})
endif()
foreach(_kind EXE SHARED MODULE)
  string(APPEND CMAKE_${_kind}_LINKER_FLAGS " /NODEFAULTLIB /LIBPATH:${_import_libpath} /Brepro"
         " /pdbaltpath:%_PDB% /pdbsourcepath:C:/tallyrig")
endforeach()

set(_runtime ${PROJECT_SOURCE_DIR}/cmake/msvc-abi/runtime)
set(_stl ${PROJECT_SOURCE_DIR}/third_party/msvc-stl/src)
# The startup code runs before the security cookie is set, so it carries no cookie checks.
add_library(msvc_abi_runtime STATIC ${_runtime}/startup.cpp ${_runtime}/exe_entry.cpp
                                    ${_runtime}/dll_entry.cpp ${_runtime}/chkstk.cpp
                                    ${_runtime}/thread_safe_statics.cpp ${_runtime}/tls_support.cpp)
target_compile_options(msvc_abi_runtime PRIVATE /GS-)
tallyrig_warnings(msvc_abi_runtime)
# Each allocation function in its own object, so that a program may replace one.
foreach(_operator RANGE 1 20)
  add_library(msvc_abi_operator_${_operator} OBJECT ${_runtime}/new_delete.cpp)
  target_compile_definitions(msvc_abi_operator_${_operator} PRIVATE TALLYRIG_OPERATOR=${_operator})
  tallyrig_warnings(msvc_abi_operator_${_operator})
  target_sources(msvc_abi_runtime PRIVATE $<TARGET_OBJECTS:msvc_abi_operator_${_operator}>)
endforeach()
# The STL's code that MSVC ships in its static import library rather than in msvcp140.dll.
add_library(msvc_abi_stl OBJECT
  ${_stl}/charconv.cpp
  ${_stl}/filesystem.cpp
  ${_stl}/locale0_implib.cpp
  ${_stl}/nothrow.cpp
  ${_stl}/sharedmutex.cpp
  ${_stl}/syserror_import_lib.cpp
  ${_stl}/tzdb.cpp
  ${_stl}/xcharconv_ryu_tables.cpp
  ${_stl}/xcharconv_tables_double.cpp
  ${_stl}/xcharconv_tables_float.cpp)
# Built as Microsoft builds it: its own code, not the project's warnings.
target_compile_options(msvc_abi_stl PRIVATE /W0 /EHsc)
target_sources(msvc_abi_runtime PRIVATE $<TARGET_OBJECTS:msvc_abi_stl>)

# Every module and program after this point links them.
link_libraries(msvc_abi_runtime)
# GoogleTest keeps the DLL runtime the rest uses, and Windows' threads (its configure check for
# pthreads only compiles, so it would find them).
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
