# Checks TyvarionNBS.dll with objdump: exactly the four COM exports and no
# dependency on a mingw runtime DLL.
#   cmake -DOBJDUMP=<objdump> -DMODULE=<dll> -P check_exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${MODULE} failed: ${result}")
endif()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${dump}")
string(REGEX MATCHALL "\n[ \t]*\\[ *[0-9]+\\] [A-Za-z0-9_@]+" names "${table}")
list(TRANSFORM names REPLACE "^[^]]*\\] " "")
list(SORT names)
set(expected DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports: '${names}', expected '${expected}'")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
foreach(import IN LISTS imports)
  string(TOLOWER "${import}" import)
  if(import MATCHES "^(libstdc\\+\\+|libgcc|libwinpthread)" OR import MATCHES "mingw")
    message(FATAL_ERROR "depends on the runtime DLL ${import}")
  endif()
endforeach()
message(STATUS "exports: ${names}; imports: ${imports}")
