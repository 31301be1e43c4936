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

# velm_driver_library_over_core(NAME MAPFILE DIR): a driver library whose module is DIR's
# library_entry.cpp over NAME_core, a static position-independent library of every other .cpp
# below DIR that the tests link as well. The whole archive goes into the module so that the
# exports its version script names are there even though nothing in it calls them.
function(velm_driver_library_over_core name mapfile dir)
  file(GLOB_RECURSE core_sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(REMOVE_ITEM core_sources ${dir}/library_entry.cpp)
  add_library(${name}_core STATIC ${core_sources})
  target_include_directories(${name}_core PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform)
  target_link_libraries(${name}_core PUBLIC settings velmplatform)
  set_target_properties(${name}_core PROPERTIES POSITION_INDEPENDENT_CODE ON CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  velm_driver_library(${name} ${mapfile} ${dir}/library_entry.cpp)
  target_link_libraries(${name} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}_core>")
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
