# Shared build helpers.

# Shared objects must resolve every symbol at link time, except under clang's sanitizers,
# whose runtime only the executable carries.
if(VELM_FUZZ)
  set(VELM_NO_UNDEFINED "")
else()
  set(VELM_NO_UNDEFINED -Wl,--no-undefined)
endif()

# velm_driver_library(NAME MAPFILE SOURCES...)
# A driver library: a shared object over the settings library that exports only
# the names its version script lists.
function(velm_driver_library name mapfile)
  add_library(${name} SHARED ${ARGN})
  target_link_libraries(${name} PRIVATE settings velmplatform)
  set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON LINK_DEPENDS ${mapfile})
  target_link_options(${name} PRIVATE -Wl,--version-script=${mapfile} ${VELM_NO_UNDEFINED})
endfunction()

# velm_companion(NAME SOURCES...): a stand-in for one of the maker's outside components.
function(velm_companion name)
  add_library(${name} SHARED ${ARGN})
  target_link_libraries(${name} PRIVATE velmplatform)
  set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${name} PRIVATE ${VELM_NO_UNDEFINED})
  set_property(GLOBAL APPEND PROPERTY VELM_COMPANIONS ${name})
endfunction()

# velm_test_suite(NAME DIR LIBS...): one GoogleTest program from every .cpp in DIR.
# velm_test_suite_tree(NAME DIR LIBS...): the same from every .cpp in DIR and its sub-folders.
function(velm_test_suite name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  velm_test_program(${name} "${sources}" ${ARGN})
endfunction()

function(velm_test_suite_tree name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  velm_test_program(${name} "${sources}" ${ARGN})
endfunction()

function(velm_test_program name sources)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE velm_test_support ${ARGN} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

include(GoogleTest)
