# Builds every module in the MSVC ABI on Linux: clang-cl with Microsoft's STL (third_party/), the
# C runtime's and Windows' headers from wine (libwine-dev), import libraries made from wine's own
# DLLs, and the few pieces of MSVC's static runtime written in runtime/ here (CMakeLists.txt). The
# tests run under wine. See docs/building.md.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TALLYRIG_MSVC_ABI ON)

set(TALLYRIG_LLVM_BIN /usr/lib/llvm-19/bin CACHE PATH "Where clang-19, lld-link and the llvm tools are")
set(TALLYRIG_WINE_INCLUDE /usr/include/wine/wine CACHE PATH
    "Wine's headers: the C runtime's in msvcrt/ and Windows' in windows/")
set(TALLYRIG_WINE_DLLS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows CACHE PATH
    "Wine's 64-bit DLLs, the import libraries are made from")
# try_compile's projects read this file again; they get the same folders.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TALLYRIG_LLVM_BIN TALLYRIG_WINE_INCLUDE
     TALLYRIG_WINE_DLLS)
# A tool this build alone needs, or a configure error naming the package that has it.
function(_tallyrig_msvc_abi_tool var package)
  find_program(${var} NAMES ${ARGN} HINTS ${TALLYRIG_LLVM_BIN} NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${var})
    list(GET ARGN 0 _name)
    message(FATAL_ERROR "The msvc-abi build needs ${_name}: install the Debian package "
                        "${package} (scripts/install-deps.sh test)")
  endif()
endfunction()

get_property(_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT _in_try_compile)
  _tallyrig_msvc_abi_tool(_tallyrig_clang clang-19 clang-19)
  _tallyrig_msvc_abi_tool(CMAKE_LINKER lld-19 lld-link-19 lld-link)
  _tallyrig_msvc_abi_tool(CMAKE_AR llvm-19 llvm-lib-19 llvm-lib)
  _tallyrig_msvc_abi_tool(CMAKE_RC_COMPILER llvm-19 llvm-rc-19 llvm-rc)
  _tallyrig_msvc_abi_tool(CMAKE_MT llvm-19 llvm-mt-19 llvm-mt)
  _tallyrig_msvc_abi_tool(TALLYRIG_READOBJ llvm-19 llvm-readobj-19 llvm-readobj)
  _tallyrig_msvc_abi_tool(TALLYRIG_DLLTOOL llvm-19 llvm-dlltool-19 llvm-dlltool)
  # clang takes the MSVC driver's options when it is called clang-cl; Debian's clang-19 has no
  # such name, so the build folder gets one.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/msvc-abi)
  file(CREATE_LINK ${_tallyrig_clang} ${CMAKE_BINARY_DIR}/msvc-abi/clang-cl SYMBOLIC)
  set(CMAKE_C_COMPILER ${CMAKE_BINARY_DIR}/msvc-abi/clang-cl)
  set(CMAKE_CXX_COMPILER ${CMAKE_BINARY_DIR}/msvc-abi/clang-cl)
endif()
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)

if(NOT EXISTS ${TALLYRIG_WINE_INCLUDE}/msvcrt/corecrt.h)
  message(FATAL_ERROR "The msvc-abi build needs wine's C runtime headers: install the Debian "
                      "package libwine-dev (scripts/install-deps.sh test)")
endif()
if(NOT EXISTS ${TALLYRIG_WINE_DLLS}/ucrtbase.dll)
  message(FATAL_ERROR "The msvc-abi build needs wine's DLLs in ${TALLYRIG_WINE_DLLS}: install "
                      "the Debian package wine64")
endif()

# MSVC 17.13's compiler version, the first Microsoft's STL of 17.14 accepts. The header search
# order: the project's shims over wine's headers, the STL, then wine's C runtime and Windows.
# WINE_UNICODE_NATIVE makes wine's WCHAR the wchar_t Windows' own headers have;
# USE_COMPILER_EXCEPTIONS gives structured exception handling its Windows names. Local statics are
# thread-safe as with cl (runtime/); the STL's vectorized algorithms would need a
# part of MSVC's static runtime that it does not write.
set(_msvc_abi_dir ${CMAKE_CURRENT_LIST_DIR})
set(_stl_dir ${CMAKE_CURRENT_LIST_DIR}/../../third_party/msvc-stl)
cmake_path(NORMAL_PATH _stl_dir)
string(JOIN " " _msvc_abi_flags
  -fms-compatibility-version=19.43
  -imsvc${_msvc_abi_dir}/include
  -imsvc${_msvc_abi_dir}/include-sdk-names
  -imsvc${_stl_dir}/inc
  -imsvc${TALLYRIG_WINE_INCLUDE}/msvcrt
  -imsvc${TALLYRIG_WINE_INCLUDE}/windows
  -DWINE_UNICODE_NATIVE
  -DUSE_COMPILER_EXCEPTIONS
  -D_USE_STD_VECTOR_ALGORITHMS=0)
set(CMAKE_C_FLAGS_INIT "${_msvc_abi_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_msvc_abi_flags}")
set(CMAKE_RC_FLAGS_INIT "-I${TALLYRIG_WINE_INCLUDE}/windows")
# No program links before the runtime pieces and import libraries exist (CMakeLists.txt here).
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH _toolchains_dir)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_toolchains_dir}/wine-run.sh)
set(CMAKE_FIND_ROOT_PATH ${CMAKE_BINARY_DIR}/msvc-abi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
