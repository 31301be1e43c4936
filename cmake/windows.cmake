# The windows build: the driver's libraries and the companions, cross-compiled against the
# toolchain's Windows headers and import libraries. The stand-in, tools, tests and benchmarks
# are not built; the generators run on the build machine.

add_compile_options(-idirafter ${CMAKE_SOURCE_DIR}/platform/mingw)

# What velmplatform is here: the system. win32.h (platform/) includes the Windows headers,
# platform/mingw supplies the ones the toolchain lacks, and the import libraries link.
add_library(velmplatform INTERFACE)
target_include_directories(velmplatform INTERFACE ${CMAKE_SOURCE_DIR}/platform)
target_link_libraries(velmplatform INTERFACE winspool gdi32 mscms user32 comdlg32 comctl32 advapi32 shell32 ole32
  uuid userenv version)

include(ExternalProject)
set(velm_host_dir ${CMAKE_BINARY_DIR}/host_tools)
ExternalProject_Add(velm_host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/cmake/host_tools
  BINARY_DIR ${velm_host_dir}
  CMAKE_ARGS -DVELM_SOURCE_DIR=${CMAKE_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${velm_host_dir}/velm_tablegen ${velm_host_dir}/velm_rescomp)
foreach(tool velm_tablegen velm_rescomp)
  add_executable(${tool} IMPORTED GLOBAL)
  set_target_properties(${tool} PROPERTIES IMPORTED_LOCATION ${velm_host_dir}/${tool})
  add_dependencies(${tool} velm_host_tools)
endforeach()

# Every library's export table must list exactly the names of its exports list: checked after
# each link, from the DLL's export table.
find_program(VELM_OBJDUMP ${VELM_MINGW}-objdump REQUIRED)
function(velm_check_dll_exports target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:${target}> -DEXPORTS=$<TARGET_PROPERTY:${target},VELM_EXPORTS>
            -DOBJDUMP=${VELM_OBJDUMP} -P ${CMAKE_SOURCE_DIR}/cmake/check_exports.cmake
    VERBATIM)
endfunction()
