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
  BUILD_BYPRODUCTS ${velm_host_dir}/velm_tablegen ${velm_host_dir}/velm_rescomp ${velm_host_dir}/velm_codepagegen)
foreach(tool velm_tablegen velm_rescomp)
  add_executable(${tool} IMPORTED GLOBAL)
  set_target_properties(${tool} PROPERTIES IMPORTED_LOCATION ${velm_host_dir}/${tool})
  add_dependencies(${tool} velm_host_tools)
endforeach()
add_executable(velm_codepagegen IMPORTED GLOBAL)
set_target_properties(velm_codepagegen PROPERTIES IMPORTED_LOCATION ${velm_host_dir}/velm_codepagegen)
add_dependencies(velm_codepagegen velm_host_tools)

# Every library's export table must list exactly the names of its exports list: checked after
# each link, from the DLL's export table.
find_program(VELM_OBJDUMP ${VELM_MINGW}-objdump REQUIRED)
function(velm_check_dll_exports target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:${target}> -DEXPORTS=$<TARGET_PROPERTY:${target},VELM_EXPORTS>
            -DOBJDUMP=${VELM_OBJDUMP} -P ${CMAKE_SOURCE_DIR}/cmake/check_exports.cmake
    VERBATIM)
endfunction()

# velm_resource_dll(NAME SCRIPT): a resource-only DLL (no code, no entry point) compiled by
# windres from SCRIPT, checked after the link to hold exactly the script's resources.
enable_language(RC)
function(velm_resource_dll name script)
  add_library(${name} SHARED ${script})
  set_target_properties(${name} PROPERTIES PREFIX "" LINKER_LANGUAGE C)
  target_link_options(${name} PRIVATE -nostdlib -Wl,-e,0)
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:${name}> -DSCRIPT=${script} -DWINDRES=${CMAKE_RC_COMPILER}
            -P ${CMAKE_SOURCE_DIR}/cmake/check_resources.cmake
    VERBATIM)
endfunction()

# Every stand-in function the driver names must have Windows' own type: a generated source
# initialises a pointer of the stand-in's declared type from each Windows declaration.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
file(GLOB_RECURSE velm_signature_inputs CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/platform/*.h ${CMAKE_SOURCE_DIR}/settings/*.h ${CMAKE_SOURCE_DIR}/settings/*.cpp
  ${CMAKE_SOURCE_DIR}/gr2k/*.h ${CMAKE_SOURCE_DIR}/gr2k/*.cpp ${CMAKE_SOURCE_DIR}/ui2k/*.h ${CMAKE_SOURCE_DIR}/ui2k/*.cpp
  ${CMAKE_SOURCE_DIR}/exclude/*.h ${CMAKE_SOURCE_DIR}/exclude/*.cpp
  ${CMAKE_SOURCE_DIR}/companions/*.h ${CMAKE_SOURCE_DIR}/companions/*.cpp)
set(velm_signatures ${CMAKE_BINARY_DIR}/windows_signatures.cpp)
add_custom_command(OUTPUT ${velm_signatures}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/sweeps/windows_signatures.py ${CMAKE_SOURCE_DIR} ${velm_signatures}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/sweeps/windows_signatures.py ${velm_signature_inputs}
  COMMENT "Listing the stand-in functions the driver calls, to check against the Windows headers"
  VERBATIM)
add_library(velm_windows_signatures OBJECT ${velm_signatures})
target_link_libraries(velm_windows_signatures PRIVATE velmplatform)
# The spooler's identity functions a printer interface calls (RevertToPrinterSelf,
# ImpersonatePrinterClient) live in spoolss.dll.
target_link_libraries(velmplatform INTERFACE spoolss)
