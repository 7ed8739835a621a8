# GoogleTest is built from Debian's sources with the project's own compiler and
# flags, so the same test programs build natively, under sanitizers and for mingw.
set(TYVARION_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
if(NOT EXISTS "${TYVARION_GOOGLETEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${TYVARION_GOOGLETEST_SOURCE}; run scripts/bootstrap")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${TYVARION_GOOGLETEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
foreach(library IN ITEMS gtest gtest_main gmock gmock_main)
  target_compile_options(${library} PRIVATE ${TYVARION_UNSHIPPED_COMPILE_OPTIONS})
endforeach()
include(GoogleTest)
