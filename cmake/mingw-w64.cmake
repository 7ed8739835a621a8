# Cross-compiling for Windows with Debian's mingw-w64 g++ (posix thread model,
# the one whose libstdc++ has std::thread, std::mutex and std::condition_variable).
# TYVARION_MINGW_ARCH selects x86_64 or i686.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT TYVARION_MINGW_ARCH)
  set(TYVARION_MINGW_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${TYVARION_MINGW_ARCH})
set(TRIPLE ${TYVARION_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A self-contained DLL and test programs: no libstdc++, libgcc or winpthread DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
# Windows 7 or later: the headers then declare nothing newer, and what the
# plug-in uses from later versions it looks up at run time (scripts/check-dll
# checks the imports against Windows 7 SP1).
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE)
