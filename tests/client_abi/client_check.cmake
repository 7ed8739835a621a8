# DLLs that look like client libraries, built with mingw for both
# architectures whatever this build's own target: the stand-in's names, every
# alternative spelling, two members lacking, one of the other architecture
# under this one's name, and a program. Their code never runs.
# The check runs on one thread: ThreadSanitizer has nothing to watch there.
if((CMAKE_CROSSCOMPILING AND NOT WIN32) OR TYVARION_SANITIZE STREQUAL "thread")
  return()
endif()
find_program(TYVARION_MINGW_CXX_x64 NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)
find_program(TYVARION_MINGW_CXX_x86 NAMES i686-w64-mingw32-g++-posix i686-w64-mingw32-g++)
if(NOT TYVARION_MINGW_CXX_x64 OR NOT TYVARION_MINGW_CXX_x86)
  message(STATUS "client_abi: no mingw compilers for both architectures; the client library check tests are left out")
  return()
endif()

set(check_sources ${CMAKE_CURRENT_SOURCE_DIR}/dlls)
set(check_dlls ${CMAKE_CURRENT_BINARY_DIR}/check-dlls)
set(check_outputs "")
set(standin_defs ${PROJECT_SOURCE_DIR}/simulator/library/standin)

# The stand-in's names with calibrate taking a double and no unrequestTracking.
foreach(bits IN ITEMS 32 64)
  file(READ ${standin_defs}/TYApi${bits}.def def)
  string(REGEX REPLACE "(\\?calibrate@[^ ]*)H@Z" "\\1N@Z" def "${def}")
  string(REGEX REPLACE "\n *\\?unrequestTracking@[^\n]*" "" def "${def}")
  file(WRITE ${check_dlls}/lacking-${bits}.def "${def}")
endforeach()

function(tyvarion_check_dll folder arch def file)
  set(output ${check_dlls}/${folder}/${file})
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${check_dlls}/${folder}
    COMMAND ${TYVARION_MINGW_CXX_${arch}} -shared -O1 -s -static-libgcc -static-libstdc++
            -o ${output} ${check_sources}/stub_exports.cpp ${def}
    DEPENDS ${check_sources}/stub_exports.cpp ${def}
    COMMENT "mingw (${arch}): ${folder}/${file}"
    VERBATIM)
  set(check_outputs ${check_outputs} ${output} PARENT_SCOPE)
endfunction()

tyvarion_check_dll(standin-x86 x86 ${standin_defs}/TYApi32.def TYApi32.dll)
tyvarion_check_dll(standin-x64 x64 ${standin_defs}/TYApi64.def TYApi64.dll)
tyvarion_check_dll(alternative-x86 x86 ${check_sources}/alternative-x86.def TYApi32.dll)
tyvarion_check_dll(alternative-x64 x64 ${check_sources}/alternative-x64.def TYApi64.dll)
tyvarion_check_dll(lacking-x86 x86 ${check_dlls}/lacking-32.def TYApi32.dll)
tyvarion_check_dll(lacking-x64 x64 ${check_dlls}/lacking-64.def TYApi64.dll)
# A library needing TYDevice.dll, which is nowhere.
foreach(arch IN ITEMS x86 x64)
  if(arch STREQUAL "x86")
    set(file TYApi32.dll)
    set(standin_def ${standin_defs}/TYApi32.def)
  else()
    set(file TYApi64.dll)
    set(standin_def ${standin_defs}/TYApi64.def)
  endif()
  string(REPLACE "g++" "dlltool" dlltool "${TYVARION_MINGW_CXX_${arch}}")
  string(REGEX REPLACE "-posix$" "" dlltool "${dlltool}")
  set(device_library ${check_dlls}/needs-device-${arch}/libTYDevice.a)
  set(output ${check_dlls}/needs-device-${arch}/${file})
  # dlltool names its temporary objects after the library's path unless told
  # otherwise, and the linker orders the imports by those names: a fixed
  # prefix keeps the DLL the same wherever the tree is.
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${check_dlls}/needs-device-${arch}
    COMMAND ${dlltool} -d ${check_sources}/TYDevice.def -l ${device_library}
            -t ${check_dlls}/needs-device-${arch}/tydevice
    COMMAND ${TYVARION_MINGW_CXX_${arch}} -shared -O1 -s -static-libgcc -static-libstdc++
            -DTYVARION_STUB_NEEDS_DEVICE -o ${output} ${check_sources}/stub_exports.cpp ${standin_def}
            ${device_library}
    DEPENDS ${check_sources}/stub_exports.cpp ${check_sources}/TYDevice.def ${standin_def}
    COMMENT "mingw (${arch}): needs-device-${arch}/${file}"
    VERBATIM)
  list(APPEND check_outputs ${output})
endforeach()

tyvarion_check_dll(x86-as-x64 x86 ${standin_defs}/TYApi32.def TYApi64.dll)
tyvarion_check_dll(x64-as-x86 x64 ${standin_defs}/TYApi64.def TYApi32.dll)
set(program ${check_dlls}/program/TYApi64.dll)
add_custom_command(OUTPUT ${program}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${check_dlls}/program
  COMMAND ${TYVARION_MINGW_CXX_x64} -O1 -s -static-libgcc -static-libstdc++ -o ${program}
          ${check_sources}/stub_program.cpp
  DEPENDS ${check_sources}/stub_program.cpp
  COMMENT "mingw (x64): a program named TYApi64.dll"
  VERBATIM)
add_custom_target(client_check_dlls DEPENDS ${check_outputs} ${program})

add_executable(client_check_tests client_check_test.cpp)
target_compile_definitions(client_check_tests PRIVATE TYVARION_CHECK_DLLS="${check_dlls}"
  TYVARION_CHECK_SOURCES="${check_sources}")
if(WIN32)
  target_compile_definitions(client_check_tests PRIVATE TYVARION_CLIENT_STANDIN="$<TARGET_FILE:tyapi_standin>")
  add_dependencies(client_check_tests tyapi_standin)
endif()
target_link_libraries(client_check_tests PRIVATE client_library_check_core tyvarion_client_check
  GTest::gtest_main tyvarion_warnings)
add_dependencies(client_check_tests client_check_dlls)
tyvarion_add_gtest(client_check_tests)

# The program itself: its exit status for a library that binds, one that does
# not, and a file that is no DLL.
if(TYVARION_CAN_RUN_TESTS)
  string(REPLACE ";" "|" emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  add_test(NAME client_library_check_exit_status
    COMMAND ${CMAKE_COMMAND} "-DCHECK=$<TARGET_FILE:client-library-check>"
            "-DEMULATOR=${emulator}" -DDLLS=${check_dlls}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/check_exit_status.cmake)
  set_tests_properties(client_library_check_exit_status PROPERTIES SKIP_RETURN_CODE 77)
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(client_library_check_exit_status PROPERTIES RESOURCE_LOCK tyvarion_wine_prefix)
  endif()
endif()
