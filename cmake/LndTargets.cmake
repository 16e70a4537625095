# Helpers that keep adding a source file or a test suite a matter of dropping a file in.

# lnd_core_part(<name> [DEPS <targets>...])
# An object library made of every .cpp in the calling folder; its objects go into the
# one static core library `lndcore`, so folders may call each other freely.
function(lnd_core_part name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_library(${name} OBJECT ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  set_property(GLOBAL APPEND PROPERTY LND_CORE_PARTS ${name})
  set_property(GLOBAL APPEND PROPERTY LND_CORE_DEPS ${ARG_DEPS})
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
