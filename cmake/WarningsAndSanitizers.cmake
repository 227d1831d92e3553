# The compiler warnings for the project's own targets and, in the sanitizer builds, the
# sanitizers; third-party code gets neither.
function(tallyrig_warnings_and_sanitizers target)
  if(MSVC)
    # C4251/C4275: exported classes hold standard-library members; the host and its modules
    # share one C++ runtime by design, so those members need no export of their own.
    target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8 /EHsc /wd4251 /wd4275)
    if(TALLYRIG_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion
                                              -Wsign-conversion -Wold-style-cast)
    if(TALLYRIG_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
  if(TALLYRIG_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                                              -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
