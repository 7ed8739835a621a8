#pragma once
// The module object: one Ceyetracker2_templateModule per process, built during
// the module's static initialisation and destroyed at unload. It holds the lock
// count that decides whether the module may be unloaded, the class table that
// the exports walk, and the module's two locks.
//
// Threads: the exports may be called from any thread. lockCount changes only
// by interlocked steps; the first creation of a class object is serialised by
// classTableLock.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <array>
#include <atomic>
#include <vector>

#include "module/critical_section.h"

namespace tyvarion::module {

// Creates one object, stand-alone (outer null) or aggregated, and returns `iid` of it.
using CreateObjectFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** result);
// Creates the class object that serves createObject and returns `iid` of it.
using CreateClassObjectFunction = HRESULT (*)(CreateObjectFunction createObject, REFIID iid,
                                              void** result);
// Writes (true) or removes (false) the class's registry entries.
using RegisterClassFunction = HRESULT (*)(bool registering);

struct ClassEntry {
    const CLSID* clsid;
    RegisterClassFunction registerClass;
    CreateClassObjectFunction createClassObject;
    CreateObjectFunction createObject;
    // The class object's IUnknown as EncodePointer made it; null until first requested.
    std::atomic<void*> cachedClassObject{nullptr};
};

class Ceyetracker2_templateModule {
public:
    Ceyetracker2_templateModule() noexcept;
    // Module stop: releases the cached class objects, then runs the clean-ups.
    ~Ceyetracker2_templateModule();
    Ceyetracker2_templateModule(const Ceyetracker2_templateModule&) = delete;
    Ceyetracker2_templateModule& operator=(const Ceyetracker2_templateModule&) = delete;

    // Set when one of the module's locks could not be created; the module then refuses to load.
    static bool initFailed() noexcept;

    LONG lockModule() noexcept;
    LONG unlockModule() noexcept;
    LONG lockCount() const noexcept;

    HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** result) noexcept;
    HRESULT canUnloadNow() const noexcept;
    HRESULT registerServer() noexcept;
    HRESULT unregisterServer() noexcept;

    const GUID& libid() const noexcept { return libid_; }

    // Guards the process-wide type-information caches.
    CriticalSection& typeInfoLock() noexcept { return typeInfoLock_; }
    // Adds `cleanup(context)` to what runs at module stop, after the class
    // objects are released; the most recently added runs first.
    HRESULT addCleanup(void (*cleanup)(void*), void* context) noexcept;

private:
    class CleanupList {
    public:
        CleanupList() = default;
        ~CleanupList();
        CleanupList(const CleanupList&) = delete;
        CleanupList& operator=(const CleanupList&) = delete;
        void add(void (*cleanup)(void*), void* context) { entries_.push_back({cleanup, context}); }

    private:
        struct Entry {
            void (*cleanup)(void*);
            void* context;
        };
        std::vector<Entry> entries_;
    };

    ClassEntry* findClass(REFCLSID clsid) const noexcept;

    std::atomic<LONG> lockCount_{0};
    GUID libid_;
    // Destroyed in reverse order at module stop: classTableLock, then the
    // clean-ups, and typeInfoLock last, which the clean-ups may still need.
    CriticalSection typeInfoLock_;
    CleanupList cleanups_;
    CriticalSection classTableLock_;
    std::atomic<bool> classTableInitialised_{false};
    std::array<ClassEntry*, 1> classTable_;
};

Ceyetracker2_templateModule& theModule() noexcept;

// Reasons to stay loaded: each live object, each extra reference to a class
// object, each unmatched LockServer(TRUE), and an object's teardown.
inline LONG lockModule() noexcept { return theModule().lockModule(); }
inline LONG unlockModule() noexcept { return theModule().unlockModule(); }

}  // namespace tyvarion::module
