# CLI11, header-only, from Debian's libcli11-dev. A cross build must not see
# the rest of /usr/include (the host's C library), so its headers are copied
# into a folder of their own in the build tree.
find_path(TYVARION_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT TYVARION_CLI11_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11 not found (CLI/CLI.hpp): scripts/bootstrap installs libcli11-dev")
endif()
set(TYVARION_CLI11_COPY ${CMAKE_BINARY_DIR}/cli11/include)
file(COPY ${TYVARION_CLI11_INCLUDE_DIR}/CLI DESTINATION ${TYVARION_CLI11_COPY})
add_library(tyvarion_cli11 INTERFACE)
target_include_directories(tyvarion_cli11 SYSTEM INTERFACE ${TYVARION_CLI11_COPY})
