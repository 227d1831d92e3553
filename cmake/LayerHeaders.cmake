# tallyrig_layer_headers(TARGET FOLDER): TARGET's users reach FOLDER's headers, under FOLDER/, and
# no other folder of the tree. Each header is forwarded from a folder of the build that holds
# only FOLDER, so an include of a layer the target does not link fails to compile.
function(tallyrig_layer_headers target folder)
  set(_root ${CMAKE_BINARY_DIR}/layer-headers/${folder})
  file(GLOB _headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/${folder}
       ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  foreach(_header IN LISTS _headers)
    set(_content "#include \"${PROJECT_SOURCE_DIR}/${folder}/${_header}\"\n")
    set(_forward ${_root}/${folder}/${_header})
    # Written only when it changes, so that a configure rebuilds nothing.
    if(EXISTS ${_forward})
      file(READ ${_forward} _old)
    else()
      set(_old "")
    endif()
    if(NOT _old STREQUAL _content)
      file(WRITE ${_forward} "${_content}")
    endif()
  endforeach()
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${_root})
  else()
    target_include_directories(${target} PUBLIC ${_root})
  endif()
endfunction()
