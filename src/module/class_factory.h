#pragma once
// The one generic class object: IClassFactory over a class entry's
// createObject. While the module's class-object cache holds the only
// reference, it does not keep the module loaded: the step of its count from 1
// to 2 locks the module, the step from 2 to 1 unlocks it.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <unknwn.h>

#include "module/com_class.h"
#include "module/module.h"

namespace tyvarion::module {

TYVARION_BEGIN_COM_CLASSES

class ClassFactory final : public IClassFactory {
public:
    // Creates a class object over `createObject` and returns `iid` of it; the
    // first reference is the caller's.
    static HRESULT create(CreateObjectFunction createObject, REFIID iid, void** result) noexcept;

    // Only create() makes one.
    class Key {
        friend class ClassFactory;
        Key() = default;
    };
    ClassFactory(Key, CreateObjectFunction createObject) noexcept : createObject_(createObject) {}
    ~ClassFactory() = default;
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    LONG refCount_ = 0;  // changed by interlocked steps only
    CreateObjectFunction createObject_;
};

TYVARION_END_COM_CLASSES

}  // namespace tyvarion::module
