# client-library-check's exit status, run as a program (under Wine when EMULATOR is set).
#   cmake -DCHECK=<program> [-DEMULATOR=<command|arguments>] -DDLLS=<check-dlls folder> -P check_exit_status.cmake
string(REPLACE "|" ";" EMULATOR "${EMULATOR}")
set(folder ${DLLS})
if(EMULATOR)
  set(folder "Z:${DLLS}")  # the build tree as the Windows program sees it
endif()
foreach(case IN ITEMS "standin-x64/TYApi64.dll|0" "alternative-x86/TYApi32.dll|0" "lacking-x64/TYApi64.dll|1"
                      "x86-as-x64/TYApi64.dll|1" "program/TYApi64.dll|2" "lacking-32.def|2" "absent.dll|2")
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 file)
  list(GET parts 1 expected)
  execute_process(COMMAND ${EMULATOR} ${CHECK} ${folder}/${file} RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(status EQUAL 77 AND EMULATOR)
    message(STATUS "this machine cannot run the program")
    cmake_language(EXIT 77)
  endif()
  if(NOT status STREQUAL expected)
    message(FATAL_ERROR "${file}: exit status ${status}, expected ${expected}\n${out}${err}")
  endif()
endforeach()
message(STATUS "exit status 0, 1 and 2 as expected")
