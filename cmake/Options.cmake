# Every option of the build, in one place. The presets (CMakePresets.json) set them.
option(TALLYRIG_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
option(TALLYRIG_BUILD_TESTS "Build the tests" ON)
option(TALLYRIG_BUILD_BENCHMARKS "Build the benchmarks" OFF)
option(TALLYRIG_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TALLYRIG_FUZZ "Build the libFuzzer targets (clang)" OFF)
# A developer's build goes on without a tool some test needs; CI must not (cmake/TestTools.cmake).
option(TALLYRIG_REQUIRE_TEST_TOOLS "Stop configuring when a tool some test needs is missing" OFF)
set(TALLYRIG_SDK_DIR "" CACHE PATH
    "Build only the plugin module, against the host SDK in this folder (include/ and lib/)")
set(TALLYRIG_SDK_INCLUDE_DIR "" CACHE PATH "The folder that holds the host SDK's pluginsdk/ headers")
set(TALLYRIG_SDK_LIBRARY "" CACHE FILEPATH "The host SDK's library to link the module with")
