# Helpers that keep adding a source file or a test suite a matter of dropping a file in.

# lnd_layer(<name> [DEPS <targets>...])
# A static library of every .cpp in the calling folder. DEPS names only the layers below
# this one (the include check in tests/ keeps the source honest about the same order).
function(lnd_layer name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# Suites that open windows in their own process load the window system's libraries, some of
# which allocate for the life of the process and are unloaded before the leak check runs, so
# no suppression can name them: those suites run without leak checking (every core suite
# keeps it). Harmless outside the sanitizer build.
set(LND_WINDOWED_TEST_ENV "ASAN_OPTIONS=set:detect_leaks=0:abort_on_error=1")

# One virtual display serves the whole test run. Windows of two suites at once would take each
# other's focus (a held button or a menu lets go) and cover each other in screen grabs, so the
# suites that show windows take turns on it; the core suites run beside them.
set(LND_DISPLAY_LOCK RESOURCE_LOCK display)

# lnd_add_test(<name> [WINDOWED] [ON_DISPLAY] [DEPS <targets>...])
# WINDOWED: opens windows in its own process (no leak check, takes its turn on the display);
# ON_DISPLAY: starts windowed programs, so takes its turn on the display too.
# One GoogleTest binary of every .cpp in the calling folder, registered with CTest and
# run from the source root so fixture paths are stable.
function(lnd_add_test name)
  cmake_parse_arguments(ARG "WINDOWED;ON_DISPLAY" "" "DEPS;LABELS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  set(properties ENVIRONMENT "LND_BUILD_DIR=${PROJECT_BINARY_DIR}")
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  if(ARG_WINDOWED)
    list(APPEND properties ENVIRONMENT_MODIFICATION "${LND_WINDOWED_TEST_ENV}")
  endif()
  if(ARG_WINDOWED OR ARG_ON_DISPLAY)
    list(APPEND properties ${LND_DISPLAY_LOCK})
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
endfunction()
