# The oracle of the maker's binary conventions: clang compiles a use of the
# client interface for a Microsoft target, the way the maker's compiler does.
#   cmake -DCLANG=<clang++> -DNM=<nm> -DARCH=x86|x64 -DDECLARATIONS=<header>
#         -DTABLE=<client_library_exports.h> -DWORK=<folder> [-DSTANDIN=<dll> -DOBJDUMP=<objdump>]
#         -P check_binding.cmake
# Checks that
# - the decorated names the object imports are exactly the plug-in's binding
#   table for ARCH;
# - both callbacks get a virtual-function table of two slots, the scalar
#   deleting destructor and then the callback;
# - with STANDIN: the stand-in DLL exports exactly those names.
if(ARCH STREQUAL "x86")
  set(target i686-pc-windows-msvc)
  set(table_name kClientExportsX86)
else()
  set(target x86_64-pc-windows-msvc)
  set(table_name kClientExportsX64)
endif()

# The binding table, read from the plug-in's source.
file(READ ${TABLE} source)
string(REGEX MATCH "${table_name}{[^}]*}" block "${source}")
string(REGEX MATCHALL "\"[^\"]+\"" table "${block}")
list(TRANSFORM table REPLACE "\"" "")
list(SORT table)
list(LENGTH table count)
if(count EQUAL 0)
  message(FATAL_ERROR "no table ${table_name} in ${TABLE}")
endif()

file(MAKE_DIRECTORY ${WORK})
set(object ${WORK}/maker_use-${ARCH}.obj)
get_filename_component(here ${CMAKE_CURRENT_LIST_FILE} DIRECTORY)
execute_process(
  COMMAND ${CLANG} --target=${target} -fno-rtti -c -DTYAPI_DECLARATIONS="${DECLARATIONS}"
          -Xclang -fdump-vtable-layouts ${here}/maker_use.cpp -o ${object}
  OUTPUT_VARIABLE layouts ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${CLANG} --target=${target} failed:\n${errors}")
endif()

# Imported (or, from a header without dllimport, undefined) decorated names
# of the library's namespace; the probes' own destructors bring operator delete.
execute_process(COMMAND ${NM} ${object} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} ${object} failed")
endif()
string(REGEX MATCHALL "U (__imp_)?\\?[^\n]*@tyapi@@[^\n]*" imports "${symbols}")
list(TRANSFORM imports REPLACE "^U (__imp_)?" "")
list(SORT imports)
if(NOT imports STREQUAL table)
  string(REPLACE ";" "\n  " imports_text "${imports}")
  string(REPLACE ";" "\n  " table_text "${table}")
  message(FATAL_ERROR "${ARCH}: the declarations import\n  ${imports_text}\nthe binding table holds\n  ${table_text}")
endif()

# Two slots each: destructor, then the callback.
foreach(callback IN ITEMS
    "TYGazeSampleCallback|onGazeSample\\(const tyapi::TYGazeSample &\\)"
    "TYDeviceEventCallback|onDeviceEvent\\(int\\)")
  string(REPLACE "|" ";" parts "${callback}")
  list(GET parts 0 class)
  list(GET parts 1 member)
  set(expected "VFTable indices for 'tyapi::TYApi::${class}' \\(2 entries\\)\\.\n"
               " +0 \\| tyapi::TYApi::${class}::~${class}\\(\\) \\[scalar deleting\\]\n"
               " +1 \\| void tyapi::TYApi::${class}::${member}\n")
  string(CONCAT expected ${expected})
  if(NOT layouts MATCHES "${expected}")
    message(FATAL_ERROR "${ARCH}: no two-slot table for ${class} in the layouts:\n${layouts}")
  endif()
endforeach()

if(STANDIN)
  execute_process(COMMAND ${OBJDUMP} -p ${STANDIN} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${STANDIN} failed")
  endif()
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" exports "${dump}")
  string(REGEX MATCHALL "\n[ \t]*\\[ *[0-9]+\\] [^\n]+" exports "${exports}")
  list(TRANSFORM exports REPLACE "^[^]]*\\] " "")
  list(SORT exports)
  if(NOT exports STREQUAL table)
    message(FATAL_ERROR "${STANDIN} exports '${exports}', the binding table holds '${table}'")
  endif()
endif()
message(STATUS "${ARCH}: ${count} names match the binding table; both callbacks have two slots")
