# The maker's client library, by architecture: the x86 plug-in loads
# TYApi32.dll, the x64 plug-in TYApi64.dll. The plug-in's loader and the
# simulator's stand-in DLL both take the name from here.
#
# The package installs the stand-in under a name of its own, never the maker's,
# so that it can neither replace nor remove the maker's file; the plug-in loads
# it from its own folder only where the maker's library is absent.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TYVARION_CLIENT_LIBRARY TYApi64)
  set(TYVARION_SIMULATED_CLIENT_LIBRARY TyvarionSimClient64)
else()
  set(TYVARION_CLIENT_LIBRARY TYApi32)
  set(TYVARION_SIMULATED_CLIENT_LIBRARY TyvarionSimClient32)
endif()
