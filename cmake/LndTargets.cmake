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

# lnd_add_test(<name> [DEPS <targets>...])
# One GoogleTest binary of every .cpp in the calling folder, registered with CTest and
# run from the source root so fixture paths are stable.
function(lnd_add_test name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "LND_BUILD_DIR=${PROJECT_BINARY_DIR}" LABELS "${ARG_LABELS}")
endfunction()
