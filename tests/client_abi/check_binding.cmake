# The oracle of the maker's binary conventions: clang compiles a use of the
# client interface for a Microsoft target, the way the maker's compiler does,
# once for each reading of the declarations the documentation leaves open.
#   cmake -DCLANG=<clang++> -DARCH=x86|x64 -DDECLARATIONS=<header>
#         -DTABLE=<client_library_exports.h> -DWORK=<folder> [-DSTANDIN=<dll> -DOBJDUMP=<objdump>]
#         [-DMAKER_HEADER=ON] [-DEXTRA=<clang arguments, separated by |>] -P check_binding.cmake
# With MAKER_HEADER, DECLARATIONS is the maker's own header, compiled once as
# it stands: each member it imports must be one of the table's spellings.
# EXTRA: its include folders, and -DTYAPI_SCREEN_BY_POINTER or
# -DTYAPI_MARKER_MEMBER when it takes a pointer or keeps the marker in TYApi.
# Checks that
# - every reading imports one spelling of each member of the plug-in's binding
#   table for ARCH, and every spelling in the table comes from some reading;
# - every reading's calling code is the believed reading's, instruction by
#   instruction, once the spellings are set aside: the alternatives call the same;
# - both callbacks get a virtual-function table of two slots, the scalar
#   deleting destructor and then the callback;
# - with STANDIN: the stand-in DLL exports exactly the first spelling of each.
cmake_minimum_required(VERSION 3.25)
if(ARCH STREQUAL "x86")
  set(target i686-pc-windows-msvc)
  set(table_name kClientExportsX86)
else()
  set(target x86_64-pc-windows-msvc)
  set(table_name kClientExportsX64)
endif()

# The binding table, read from the plug-in's source: one list per member.
file(READ ${TABLE} source)
string(REGEX MATCH "${table_name}{{[^;]*}};" block "${source}")
string(REGEX MATCHALL "{[^{}]*}" entries "${block}")
list(LENGTH entries count)
if(count EQUAL 0)
  message(FATAL_ERROR "no table ${table_name} in ${TABLE}")
endif()
math(EXPR last "${count} - 1")
set(all_spellings "")
set(first_spellings "")
foreach(i RANGE ${last})
  list(GET entries ${i} entry)
  string(REGEX MATCHALL "\"[^\"]+\"" names "${entry}")
  list(TRANSFORM names REPLACE "\"" "")
  set(spellings_${i} ${names})
  list(APPEND all_spellings ${names})
  list(GET names 0 first)
  list(APPEND first_spellings ${first})
endforeach()
list(SORT all_spellings)
list(SORT first_spellings)

# The readings: name, then the macros of tests/client_abi/maker_declarations.h.
set(readings
  "believed"
  "callbacks declared as struct|-DTYAPI_CALLBACK_KEY=struct"
  "ScreenConfig declared as class|-DTYAPI_SCREEN_KEY=class"
  "getActiveScreen taking a pointer|-DTYAPI_SCREEN_BY_POINTER"
  "getActiveScreen taking a pointer to a class|-DTYAPI_SCREEN_BY_POINTER|-DTYAPI_SCREEN_KEY=class"
  "virtual destructor|-DTYAPI_VIRTUAL_DESTRUCTOR"
  "results nested in TYApi|-DTYAPI_NESTED_RESULTS"
  "marker not const|-DTYAPI_MARKER_MUTABLE"
  "marker a static const member|-DTYAPI_MARKER_MEMBER"
  "marker a static member|-DTYAPI_MARKER_MEMBER|-DTYAPI_MARKER_MUTABLE"
  "every alternative at once|-DTYAPI_CALLBACK_KEY=struct|-DTYAPI_SCREEN_KEY=class|-DTYAPI_SCREEN_BY_POINTER|-DTYAPI_VIRTUAL_DESTRUCTOR|-DTYAPI_NESTED_RESULTS|-DTYAPI_MARKER_MEMBER|-DTYAPI_MARKER_MUTABLE")

if(MAKER_HEADER)
  set(readings "the maker's header")
endif()
string(REPLACE "|" ";" EXTRA "${EXTRA}")

file(MAKE_DIRECTORY ${WORK})
get_filename_component(here ${CMAKE_CURRENT_LIST_FILE} DIRECTORY)
set(seen "")
set(reading_number 0)
foreach(reading IN LISTS readings)
  string(REPLACE "|" ";" macros "${reading}")
  list(POP_FRONT macros reading_name)
  set(assembly ${WORK}/maker_use-${ARCH}-${reading_number}.s)
  math(EXPR reading_number "${reading_number} + 1")
  set(compile ${CLANG} --target=${target} -fno-rtti -DTYAPI_DECLARATIONS="${DECLARATIONS}" ${EXTRA} ${macros})
  execute_process(
    COMMAND ${compile} -S -Xclang -fdump-vtable-layouts ${here}/maker_use.cpp -o ${assembly}
    OUTPUT_VARIABLE layouts ERROR_VARIABLE errors RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARCH}, ${reading_name}: ${CLANG} --target=${target} failed:\n${errors}")
  endif()

  # The decorated names of the library's namespace that the code imports.
  file(READ ${assembly} code)
  string(REGEX MATCHALL "__imp_\\?[^\"\n]*@tyapi@@[^\"\n]*" imports "${code}")
  list(TRANSFORM imports REPLACE "^__imp_" "")
  list(REMOVE_DUPLICATES imports)

  # One spelling of each member, each in the table; in the assembly every
  # spelling becomes the member's first, so that only the code is compared.
  set(members_hit "")
  foreach(name IN LISTS imports)
    set(member "")
    foreach(i RANGE ${last})
      list(FIND spellings_${i} "${name}" position)
      if(NOT position EQUAL -1)
        set(member ${i})
        list(GET spellings_${i} 0 first)
        string(REPLACE "${name}" "${first}" code "${code}")
      endif()
    endforeach()
    if(member STREQUAL "")
      message(FATAL_ERROR "${ARCH}, ${reading_name}: the declarations import ${name}, "
                          "which the binding table does not hold")
    endif()
    list(APPEND members_hit ${member})
  endforeach()
  list(LENGTH members_hit hits)
  list(REMOVE_DUPLICATES members_hit)
  list(LENGTH members_hit distinct)
  if(NOT hits EQUAL count OR NOT distinct EQUAL count)
    message(FATAL_ERROR "${ARCH}, ${reading_name}: the declarations import\n  ${imports}\n"
                        "not one spelling of each of the ${count} members")
  endif()
  list(APPEND seen ${imports})
  if(MAKER_HEADER)
    # One compile: nothing to compare.
  elseif(reading_name STREQUAL "believed")
    set(believed_code "${code}")
    set(believed_imports ${imports})
    list(SORT believed_imports)
    if(NOT believed_imports STREQUAL first_spellings)
      message(FATAL_ERROR "${ARCH}: the believed reading imports\n  ${believed_imports}\n"
                          "the first spellings are\n  ${first_spellings}")
    endif()
  elseif(NOT code STREQUAL believed_code)
    message(FATAL_ERROR "${ARCH}, ${reading_name}: the calling code differs from the believed "
                        "reading's beyond the names (compare ${assembly} with the first reading's)")
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
      message(FATAL_ERROR "${ARCH}, ${reading_name}: no two-slot table for ${class} in the layouts:\n${layouts}")
    endif()
  endforeach()
endforeach()

list(REMOVE_DUPLICATES seen)
list(SORT seen)
if(MAKER_HEADER)
  string(REPLACE ";" "\n  " seen_text "${seen}")
  message(STATUS "${ARCH}: the maker's header imports, each a spelling the plug-in binds:\n  ${seen_text}")
  return()
endif()
if(NOT seen STREQUAL all_spellings)
  set(unseen ${all_spellings})
  list(REMOVE_ITEM unseen ${seen})
  message(FATAL_ERROR "${ARCH}: no reading produces\n  ${unseen}")
endif()

if(STANDIN)
  execute_process(COMMAND ${OBJDUMP} -p ${STANDIN} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${STANDIN} failed")
  endif()
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" exports "${dump}")
  string(REGEX MATCHALL "\n[ \t]*\\[ *[0-9]+\\] [^\n]+" exports "${exports}")
  list(TRANSFORM exports REPLACE "^[^]]*\\] " "")
  list(SORT exports)
  if(NOT exports STREQUAL first_spellings)
    message(FATAL_ERROR "${STANDIN} exports '${exports}', the first spellings are '${first_spellings}'")
  endif()
endif()
list(LENGTH readings reading_count)
list(LENGTH all_spellings spelling_count)
message(STATUS "${ARCH}: ${reading_count} readings, ${spelling_count} spellings of ${count} members, "
               "each from some reading and calling the same; both callbacks have two slots")
