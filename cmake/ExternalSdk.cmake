# The host's own SDK in place of the stand-in in sdk/: only the plugin module is built, against
# the SDK's headers and linked with its library. Expected layout:
#   <TALLYRIG_SDK_DIR>/include/pluginsdk/plugin.h, game_wrapper.h, wrappers.h
#   <TALLYRIG_SDK_DIR>/lib/ the library to link with: pluginsdk.lib (MSVC import library),
#       libpluginsdk.dll.a or pluginsdk.dll.a (mingw), pluginsdk.so or libpluginsdk.so (Linux)
# TALLYRIG_SDK_INCLUDE_DIR (the folder that holds pluginsdk/) and TALLYRIG_SDK_LIBRARY (the file)
# override either half.

set(_sdk_include ${TALLYRIG_SDK_INCLUDE_DIR})
if(NOT _sdk_include)
  if(NOT TALLYRIG_SDK_DIR)
    message(FATAL_ERROR "TALLYRIG_SDK_LIBRARY is set but not where the SDK's headers are: set "
                        "TALLYRIG_SDK_DIR or TALLYRIG_SDK_INCLUDE_DIR")
  endif()
  set(_sdk_include ${TALLYRIG_SDK_DIR}/include)
endif()
set(_missing)
foreach(_header plugin.h game_wrapper.h wrappers.h)
  if(NOT EXISTS ${_sdk_include}/pluginsdk/${_header})
    list(APPEND _missing pluginsdk/${_header})
  endif()
endforeach()
if(_missing)
  list(JOIN _missing ", " _missing)
  message(FATAL_ERROR "The SDK's include folder ${_sdk_include} lacks ${_missing}. Point "
                      "TALLYRIG_SDK_DIR at the SDK's root folder (the one with include/ and "
                      "lib/), or TALLYRIG_SDK_INCLUDE_DIR at the folder that holds pluginsdk/.")
endif()

set(_sdk_library ${TALLYRIG_SDK_LIBRARY})
if(NOT _sdk_library)
  if(NOT TALLYRIG_SDK_DIR)
    message(FATAL_ERROR "TALLYRIG_SDK_INCLUDE_DIR is set but not the SDK's library: set "
                        "TALLYRIG_SDK_DIR or TALLYRIG_SDK_LIBRARY")
  endif()
  find_library(_sdk_library NAMES pluginsdk pluginsdk${CMAKE_SHARED_LIBRARY_SUFFIX} pluginsdk.dll.a
               PATHS ${TALLYRIG_SDK_DIR}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH NO_CACHE)
  if(NOT _sdk_library)
    message(FATAL_ERROR "The SDK folder ${TALLYRIG_SDK_DIR} has no library to link with in lib/ "
                        "(pluginsdk.lib, libpluginsdk.dll.a, pluginsdk.so, ...). Set "
                        "TALLYRIG_SDK_LIBRARY to the file.")
  endif()
elseif(NOT EXISTS ${_sdk_library})
  message(FATAL_ERROR "TALLYRIG_SDK_LIBRARY names ${_sdk_library}, which does not exist")
endif()

add_library(pluginsdk UNKNOWN IMPORTED)
set_target_properties(pluginsdk PROPERTIES IMPORTED_LOCATION ${_sdk_library}
                                           INTERFACE_INCLUDE_DIRECTORIES ${_sdk_include})
message(STATUS "Host SDK: headers in ${_sdk_include}, library ${_sdk_library}")
