# Shared build helpers.

# Shared objects must resolve every symbol at link time, except under clang's sanitizers,
# whose runtime only the executable carries.
if(VELM_FUZZ)
  set(VELM_NO_UNDEFINED "")
else()
  set(VELM_NO_UNDEFINED -Wl,--no-undefined)
endif()

# velm_exports(TARGET LIST): TARGET exports exactly the names of LIST (one a line, "#" comments),
# through a version script here and a .def file on Windows, both written from that one list.
include(${CMAKE_CURRENT_LIST_DIR}/exports_list.cmake)
function(velm_exports target list)
  velm_read_exports(${list} names)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list})
  set_target_properties(${target} PROPERTIES VELM_EXPORTS ${list})
  if(WIN32)
    list(JOIN names "\n  " body)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    file(CONFIGURE OUTPUT ${def} CONTENT "EXPORTS\n  ${body}\n" @ONLY)
    target_sources(${target} PRIVATE ${def})
    velm_check_dll_exports(${target})
  else()
    list(JOIN names ";\n    " body)
    set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
    file(CONFIGURE OUTPUT ${map} CONTENT "{\n  global:\n    ${body};\n  local:\n    *;\n};\n" @ONLY)
    set_target_properties(${target} PROPERTIES LINK_DEPENDS ${map})
    target_link_options(${target} PRIVATE -Wl,--version-script=${map})
  endif()
endfunction()

# velm_driver_library(NAME EXPORTS SOURCES...)
# A driver library: a shared object over the settings library that exports only the names of
# its exports list.
function(velm_driver_library name exports)
  add_library(${name} SHARED ${ARGN})
  target_link_libraries(${name} PRIVATE settings velmplatform)
  set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${name} PRIVATE ${VELM_NO_UNDEFINED})
  velm_exports(${name} ${exports})
endfunction()

# velm_driver_library_over_core(NAME EXPORTS DIR): a driver library whose module is DIR's
# library_entry.cpp over NAME_core, a static position-independent library of every other .cpp
# below DIR that the tests link as well. The whole archive goes into the module so that the
# exports its list names are there even though nothing in it calls them.
function(velm_driver_library_over_core name exports dir)
  file(GLOB_RECURSE core_sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(REMOVE_ITEM core_sources ${dir}/library_entry.cpp)
  add_library(${name}_core STATIC ${core_sources})
  target_include_directories(${name}_core PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform)
  target_link_libraries(${name}_core PUBLIC settings velmplatform)
  set_target_properties(${name}_core PROPERTIES POSITION_INDEPENDENT_CODE ON CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  velm_driver_library(${name} ${exports} ${dir}/library_entry.cpp)
  target_link_libraries(${name} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}_core>")
endfunction()

# velm_companion(NAME SOURCES...): a stand-in for one of the maker's outside components.
# On Windows it carries the companions' host services of companion_host_windows.cpp.
function(velm_companion name)
  add_library(${name} SHARED ${ARGN})
  if(WIN32)
    target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/companions/companion_host_windows.cpp)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
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

if(NOT WIN32)
  include(GoogleTest)
endif()
