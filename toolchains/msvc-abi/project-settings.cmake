# How every target of the msvc-abi build (toolchain.cmake) is compiled and linked; included by the
# top-level CMakeLists.txt, so that it holds for every folder.
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
  set(CMAKE_C_COMPILER_LAUNCHER ${CMAKE_CURRENT_LIST_DIR}/relative-source.sh)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_CURRENT_LIST_DIR}/relative-source.sh)
endif()
set(_import_dir ${CMAKE_BINARY_DIR}/msvc-abi/lib)
set(_import_libpath ${_import_dir})
if(CMAKE_GENERATOR MATCHES "Ninja")
  file(RELATIVE_PATH _import_libpath ${CMAKE_BINARY_DIR} ${_import_dir})
endif()
foreach(_kind EXE SHARED MODULE)
  string(APPEND CMAKE_${_kind}_LINKER_FLAGS " /NODEFAULTLIB /LIBPATH:${_import_libpath} /Brepro"
         " /pdbaltpath:%_PDB% /pdbsourcepath:C:/tallyrig")
endforeach()

