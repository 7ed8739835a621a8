// The module's entry point and its four exports, over the module object.
#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <objbase.h>
#include <olectl.h>

#include "module/module.h"

using tyvarion::module::Ceyetracker2_templateModule;
using tyvarion::module::theModule;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    // The module object is built before this runs; without its locks the module must not load.
    return reason == DLL_PROCESS_ATTACH && Ceyetracker2_templateModule::initFailed() ? FALSE : TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* result) {
    return theModule().getClassObject(clsid, iid, result);
}

STDAPI DllCanUnloadNow() { return theModule().canUnloadNow(); }

STDAPI DllRegisterServer() { return theModule().registerServer(); }

STDAPI DllUnregisterServer() { return theModule().unregisterServer(); }
