#include "module/module.h"

#include <mutex>
#include <new>

#include "module/class_factory.h"
#include "module/class_registration.h"
#include "module/com_ptr.h"
#include "module/module_ids.h"
#include "module/tyvarion_object.h"

namespace tyvarion::module {
namespace {

// Written only during static initialisation, before any export can run.
bool initFailedFlag = false;

ClassEntry tyvarionEntry{&kClsidTyvarion, &registerTyvarionClass, &ClassFactory::create,
                         &TyvarionObject::create};

Ceyetracker2_templateModule theModuleObject;

}  // namespace

Ceyetracker2_templateModule& theModule() noexcept { return theModuleObject; }

Ceyetracker2_templateModule::Ceyetracker2_templateModule() noexcept
    : libid_(kLibid), classTable_{&tyvarionEntry} {
    if (!typeInfoLock_.created()) initFailedFlag = true;
    if (classTableLock_.created()) {
        classTableInitialised_ = true;
    } else {
        initFailedFlag = true;
    }
}

Ceyetracker2_templateModule::~Ceyetracker2_templateModule() {
    for (ClassEntry* entry : classTable_) {
        void* encoded = entry->cachedClassObject.exchange(nullptr);
        if (encoded != nullptr) com_ptr<IUnknown> release(static_cast<IUnknown*>(DecodePointer(encoded)));
    }
    classTableInitialised_ = false;
}

Ceyetracker2_templateModule::CleanupList::~CleanupList() {
    for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry)
        entry->cleanup(entry->context);
}

bool Ceyetracker2_templateModule::initFailed() noexcept { return initFailedFlag; }

LONG Ceyetracker2_templateModule::lockModule() noexcept { return ++lockCount_; }

LONG Ceyetracker2_templateModule::unlockModule() noexcept { return --lockCount_; }

LONG Ceyetracker2_templateModule::lockCount() const noexcept { return lockCount_.load(); }

HRESULT Ceyetracker2_templateModule::canUnloadNow() const noexcept {
    return lockCount_.load() == 0 ? S_OK : S_FALSE;
}

HRESULT Ceyetracker2_templateModule::addCleanup(void (*cleanup)(void*), void* context) noexcept {
    try {
        std::lock_guard lock(typeInfoLock_);
        cleanups_.add(cleanup, context);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;  // only the list's growth can throw
    }
}

ClassEntry* Ceyetracker2_templateModule::findClass(REFCLSID clsid) const noexcept {
    for (ClassEntry* entry : classTable_)
        if (IsEqualCLSID(*entry->clsid, clsid)) return entry;
    return nullptr;
}

HRESULT Ceyetracker2_templateModule::getClassObject(REFCLSID clsid, REFIID iid,
                                                    void** result) noexcept {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    if (!classTableInitialised_) return E_UNEXPECTED;
    ClassEntry* entry = findClass(clsid);
    if (entry == nullptr) return CLASS_E_CLASSNOTAVAILABLE;

    HRESULT created = S_OK;
    if (entry->cachedClassObject.load(std::memory_order_acquire) == nullptr) {
        std::lock_guard lock(classTableLock_);
        if (entry->cachedClassObject.load(std::memory_order_acquire) == nullptr) {
            void* classObject = nullptr;
            created = entry->createClassObject(entry->createObject, IID_IUnknown, &classObject);
            if (SUCCEEDED(created) && classObject != nullptr)
                entry->cachedClassObject.store(EncodePointer(classObject), std::memory_order_release);
        }
    }
    void* encoded = entry->cachedClassObject.load(std::memory_order_acquire);
    if (encoded == nullptr) return FAILED(created) ? created : CLASS_E_CLASSNOTAVAILABLE;

    auto* classObject = static_cast<IUnknown*>(DecodePointer(encoded));
    const HRESULT queried = classObject->QueryInterface(iid, result);
    if (SUCCEEDED(queried) && *result == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
    return queried;
}

}  // namespace tyvarion::module
