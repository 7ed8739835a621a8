#pragma once
// The maker's client library, loaded at run time and bound by its decorated
// names (client/client_library_exports.h). The library's file is
// TYVARION_CLIENT_LIBRARY_FILE: TYApi32.dll for x86, TYApi64.dll for x64.
//
// Where it is looked for: the plug-in's own folder first, then the folders the
// system searches for a process's DLLs safely (the application's folder and
// System32), never the current directory or PATH: a DLL that someone drops
// into the host's working directory is not loaded.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <memory>
#include <string>

#include "client/tyapi.h"
#include "platform/unique_handle.h"

namespace tyapi::dynamic {

// The library's TYApi members as they are called: `this` first, with the
// maker's convention.
struct ClientEntryPoints {
    void*(TYAPI_MEMBER_CALL* construct)(void* self, const char* clientName);
    void(TYAPI_MEMBER_CALL* destruct)(void* self);
    void(TYAPI_MEMBER_CALL* registerGazeSampleListener)(void* self, TYApi::TYGazeSampleCallback* listener);
    void(TYAPI_MEMBER_CALL* registerDeviceEventListener)(void* self, TYApi::TYDeviceEventCallback* listener);
    ReturnConnect(TYAPI_MEMBER_CALL* connect)(void* self);
    void(TYAPI_MEMBER_CALL* getActiveScreen)(const void* self, ScreenConfig& screen);
    ReturnStart(TYAPI_MEMBER_CALL* requestTracking)(void* self, int mode);
    void(TYAPI_MEMBER_CALL* unrequestTracking)(void* self);
    ReturnCalibrate(TYAPI_MEMBER_CALL* calibrate)(void* self, int mode);
    const double* invalidValue;
};

inline void freeModule(HMODULE module) noexcept { FreeLibrary(module); }
using unique_hmodule = tyvarion::unique_handle<HMODULE, &freeModule>;

class ClientLibrary {
public:
    // Loads and binds the library, looking first in `pluginFolder` (a folder,
    // with or without a trailing backslash; empty: not looked in). Each member
    // is bound by the first of its spellings the DLL exports, and a bound
    // library is pinned. Null when the file cannot be loaded or lacks a member;
    // one line through OutputDebugStringW then says why: the file looked for,
    // its architecture, or the binding check of each missing member.
    static std::unique_ptr<ClientLibrary> load(const std::wstring& pluginFolder);

    ClientLibrary(unique_hmodule module, const ClientEntryPoints& entry) noexcept
        : module_(std::move(module)), entry_(entry) {}

    const ClientEntryPoints& entry() const noexcept { return entry_; }

private:
    unique_hmodule module_;  // given back last; the pin keeps the library loaded
    ClientEntryPoints entry_;
};

// The folder of the module this code is linked into, with a trailing backslash.
std::wstring pluginFolder();

}  // namespace tyapi::dynamic
