# Fails unless a DLL holds exactly the resources of the script it was built from: windres reads
# both back into resource-script text, which must agree but for the memory flags (MOVEABLE,
# PURE, DISCARDABLE) that a script gives and a DLL does not keep.
#   cmake -DLIBRARY=<file.dll> -DSCRIPT=<file.rc> -DWINDRES=<windres> -P check_resources.cmake
function(read_back input format out)
  execute_process(COMMAND ${WINDRES} -J ${format} -i ${input} -O rc OUTPUT_VARIABLE text RESULT_VARIABLE rc
                  ERROR_VARIABLE errors)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${WINDRES} cannot read ${input}: ${errors}")
  endif()
  string(REGEX REPLACE " (MOVEABLE|PURE|DISCARDABLE)" "" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

read_back(${LIBRARY} coff held)
read_back(${SCRIPT} rc written)
if(NOT held STREQUAL written)
  message(FATAL_ERROR "${LIBRARY} does not hold the resources of ${SCRIPT}")
endif()
string(REGEX MATCHALL "\n(STRINGTABLE|[0-9]+ DIALOGEX|[0-9]+ BITMAP|[0-9]+ CURSOR)" kinds "${held}")
list(LENGTH kinds count)
message(STATUS "${LIBRARY}: ${count} resource blocks as written")
