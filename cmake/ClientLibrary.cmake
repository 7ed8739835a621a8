# The maker's client library, by architecture: the x86 plug-in loads
# TYApi32.dll, the x64 plug-in TYApi64.dll. The plug-in's loader and the
# simulator's stand-in DLL both take the name from here.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TYVARION_CLIENT_LIBRARY TYApi64)
else()
  set(TYVARION_CLIENT_LIBRARY TYApi32)
endif()
