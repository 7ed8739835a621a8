#include "module/tyvarion_object.h"

#include <climits>
#include <cstddef>
#include <memory>
#include <type_traits>

#include "module/module.h"

namespace tyvarion::module {
namespace {

// The host's record and the tracker's are one binary format.
static_assert(sizeof(::EyeTracker2GeneralData) == sizeof(tyvarion::EyeTracker2GeneralData));
static_assert(alignof(::EyeTracker2GeneralData) == alignof(tyvarion::EyeTracker2GeneralData));
static_assert(offsetof(::EyeTracker2GeneralData, type) == offsetof(tyvarion::EyeTracker2GeneralData, type));
static_assert(offsetof(::EyeTracker2GeneralData, subType) ==
              offsetof(tyvarion::EyeTracker2GeneralData, subType));
static_assert(offsetof(::EyeTracker2GeneralData, eye) == offsetof(tyvarion::EyeTracker2GeneralData, eye));
static_assert(offsetof(::EyeTracker2GeneralData, time) == offsetof(tyvarion::EyeTracker2GeneralData, time));
static_assert(offsetof(::EyeTracker2GeneralData, xData) ==
              offsetof(tyvarion::EyeTracker2GeneralData, xData));
static_assert(offsetof(::EyeTracker2GeneralData, yData) ==
              offsetof(tyvarion::EyeTracker2GeneralData, yData));
static_assert(offsetof(::EyeTracker2GeneralData, data1) ==
              offsetof(tyvarion::EyeTracker2GeneralData, data1));
static_assert(offsetof(::EyeTracker2GeneralData, data2) ==
              offsetof(tyvarion::EyeTracker2GeneralData, data2));
static_assert(offsetof(::EyeTracker2GeneralData, data3) ==
              offsetof(tyvarion::EyeTracker2GeneralData, data3));
static_assert(sizeof(::EyeTracker2DataType) == sizeof(tyvarion::EyeTracker2DataType));
static_assert(sizeof(::EyeTracker2EyeType) == sizeof(tyvarion::EyeTracker2EyeType));
static_assert(sizeof(::EyeTracker2CalibrationType) == sizeof(tyvarion::EyeTracker2CalibrationType));

// Every enumerator of the IDL (widl declares them at global scope) against the
// core's: unqualified, a name here would find the core's on both sides.
template <typename Idl, typename Core>
constexpr bool sameValue(Idl idl, Core core) {
    return static_cast<long long>(idl) == static_cast<long long>(core);
}
static_assert(!std::is_same_v<decltype(::ET2_DT_POSITION), decltype(tyvarion::ET2_DT_POSITION)>,
              "the global names must be the IDL's own");
static_assert(sameValue(::ET2_DT_POSITION, tyvarion::ET2_DT_POSITION));
static_assert(sameValue(::ET2_DT_SACCADE, tyvarion::ET2_DT_SACCADE));
static_assert(sameValue(::ET2_DT_FIXATION, tyvarion::ET2_DT_FIXATION));
static_assert(sameValue(::ET2_DT_AOI, tyvarion::ET2_DT_AOI));
static_assert(sameValue(::ET2_DT_PUPIL, tyvarion::ET2_DT_PUPIL));
static_assert(sameValue(::ET2_DT_BLINK, tyvarion::ET2_DT_BLINK));
static_assert(sameValue(::ET2_DT_TRIGGER, tyvarion::ET2_DT_TRIGGER));
static_assert(sameValue(::ET2_DT_FORCE_DWORD, tyvarion::ET2_DT_FORCE_DWORD));
static_assert(sameValue(::ET2_ET_DEFAULT, tyvarion::ET2_ET_DEFAULT));
static_assert(sameValue(::ET2_ET_RIGHT, tyvarion::ET2_ET_RIGHT));
static_assert(sameValue(::ET2_ET_LEFT, tyvarion::ET2_ET_LEFT));
static_assert(sameValue(::ET2_ET_FORCE_DWORD, tyvarion::ET2_ET_FORCE_DWORD));
static_assert(sameValue(::ET2_CT_CALIBRATE, tyvarion::ET2_CT_CALIBRATE));
static_assert(sameValue(::ET2_CT_DRIFT_CORRECT, tyvarion::ET2_CT_DRIFT_CORRECT));
static_assert(sameValue(::ET2_CT_FORCE_DWORD, tyvarion::ET2_CT_FORCE_DWORD));

// Marks a count under teardown, so that calls made meanwhile cannot destroy twice.
constexpr LONG kDestroyingCount = -(LONG_MAX / 2);

}  // namespace

HRESULT TyvarionObject::create(IUnknown* outer, REFIID iid, void** result) noexcept {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    std::unique_ptr<TyvarionObject> object;
    try {
        object = std::make_unique<TyvarionObject>(Key{}, outer);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    // Through the inner unknown: for an aggregated object, IUnknown is the inner one.
    const HRESULT queried = object->innerQueryInterface(iid, result);
    if (FAILED(queried)) return queried;
    object.release();  // the caller's reference owns it now
    return S_OK;
}

TyvarionObject::TyvarionObject(Key, IUnknown* outer) : outerUnknown(outer) { lockModule(); }

TyvarionObject::~TyvarionObject() {
    refCount = kDestroyingCount;
    tracker.finalRelease();
    unlockModule();  // balances the lock taken at creation
}  // the tracker's destructor then stops the writer

HRESULT TyvarionObject::innerQueryInterface(REFIID iid, void** result) {
    if (result == nullptr) return E_POINTER;
    struct InterfaceEntry {
        const IID& iid;
        IUnknown* (*pointer)(TyvarionObject&);
    };
    static const InterfaceEntry interfaces[] = {
        {__uuidof(ITyvarion), [](TyvarionObject& o) -> IUnknown* { return static_cast<ITyvarion*>(&o); }},
        {IID_IDispatch, [](TyvarionObject& o) -> IUnknown* { return static_cast<ITyvarion*>(&o); }},
        {__uuidof(IEyeTracker2),
         [](TyvarionObject& o) -> IUnknown* { return static_cast<IEyeTracker2*>(&o); }},
        {IID_IProvideClassInfo,
         [](TyvarionObject& o) -> IUnknown* { return static_cast<IProvideClassInfo*>(&o); }},
    };

    IUnknown* found = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        found = outerUnknown != nullptr ? static_cast<IUnknown*>(&innerUnknown)
                                        : static_cast<ITyvarion*>(this);
    } else {
        for (const InterfaceEntry& entry : interfaces) {
            if (IsEqualIID(iid, entry.iid)) {
                found = entry.pointer(*this);
                break;
            }
        }
    }
    if (found == nullptr) {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    // When aggregated this reaches the outer unknown, as COM's rules ask.
    found->AddRef();
    *result = found;
    return S_OK;
}

ULONG TyvarionObject::innerAddRef() { return static_cast<ULONG>(++refCount); }

ULONG TyvarionObject::innerRelease() {
    const LONG count = --refCount;
    if (count == 0) {
        lockModule();  // the module stays loaded for the whole teardown
        {
            // The last reference gone: ownership returns from the count to C++.
            std::unique_ptr<TyvarionObject> destroy(this);
        }
        unlockModule();
    }
    return static_cast<ULONG>(count);
}

HRESULT TyvarionObject::QueryInterface(REFIID iid, void** result) {
    if (outerUnknown != nullptr) return outerUnknown->QueryInterface(iid, result);
    return innerQueryInterface(iid, result);
}

ULONG TyvarionObject::AddRef() {
    if (outerUnknown != nullptr) return outerUnknown->AddRef();
    return innerAddRef();
}

ULONG TyvarionObject::Release() {
    if (outerUnknown != nullptr) return outerUnknown->Release();
    return innerRelease();
}

HRESULT TyvarionObject::InnerUnknown::QueryInterface(REFIID iid, void** result) {
    return owner_.innerQueryInterface(iid, result);
}

ULONG TyvarionObject::InnerUnknown::AddRef() { return owner_.innerAddRef(); }

ULONG TyvarionObject::InnerUnknown::Release() { return owner_.innerRelease(); }

HRESULT TyvarionObject::GetCaps(LONG* caps) { return tracker.GetCaps(caps); }

HRESULT TyvarionObject::IsMultithreaded(VARIANT_BOOL* multiThreaded) {
    return tracker.IsMultithreaded(multiThreaded);
}

HRESULT TyvarionObject::SetDisplayMode(LONG width, LONG height) {
    return tracker.SetDisplayMode(width, height);
}

HRESULT TyvarionObject::Execute() { return tracker.Execute(); }

HRESULT TyvarionObject::GetTime(ULONGLONG* time) { return tracker.GetTime(time); }

HRESULT TyvarionObject::GetStatus(LONG* status) { return tracker.GetStatus(status); }

HRESULT TyvarionObject::GetLastError(BSTR* message) { return tracker.GetLastError(message); }

HRESULT TyvarionObject::GetEventCount(LONG* count) { return tracker.GetEventCount(count); }

HRESULT TyvarionObject::GetEvents(LONG* count, ::EyeTracker2GeneralData* events) {
    return tracker.GetEvents(count, reinterpret_cast<tyvarion::EyeTracker2GeneralData*>(events));
}

HRESULT TyvarionObject::StartData(::EyeTracker2DataType type, ::EyeTracker2EyeType eye,
                                  BSTR* returnValue) {
    return tracker.StartData(static_cast<tyvarion::EyeTracker2DataType>(type),
                             static_cast<tyvarion::EyeTracker2EyeType>(eye), returnValue);
}

HRESULT TyvarionObject::StopData(::EyeTracker2DataType type, ::EyeTracker2EyeType eye,
                                 BSTR* returnValue) {
    return tracker.StopData(static_cast<tyvarion::EyeTracker2DataType>(type),
                            static_cast<tyvarion::EyeTracker2EyeType>(eye), returnValue);
}

HRESULT TyvarionObject::SetTracking(VARIANT_BOOL trackingOn, BSTR* returnValue) {
    return tracker.SetTracking(trackingOn, returnValue);
}

HRESULT TyvarionObject::SetRecording(VARIANT_BOOL recordingOn, BSTR* returnValue) {
    return tracker.SetRecording(recordingOn, returnValue);
}

HRESULT TyvarionObject::Calibrate(::EyeTracker2CalibrationType calibrationType,
                                  ICalibrationDisplay* interfacePtr, double parameter1,
                                  double parameter2, double parameter3, BSTR* returnValue) {
    return tracker.Calibrate(static_cast<tyvarion::EyeTracker2CalibrationType>(calibrationType),
                             interfacePtr, parameter1, parameter2, parameter3, returnValue);
}

HRESULT TyvarionObject::StartCalibration(LONG pointCount, LONG* points, ::EyeTracker2EyeType eye,
                                         LPWSTR parameters, BSTR* returnValue) {
    return tracker.StartCalibration(pointCount, points, static_cast<tyvarion::EyeTracker2EyeType>(eye),
                                    parameters, returnValue);
}

HRESULT TyvarionObject::GetCalibrationPoint(LONG* pointIndex, LONG* x, LONG* y, BSTR* returnValue) {
    return tracker.GetCalibrationPoint(pointIndex, x, y, returnValue);
}

HRESULT TyvarionObject::AcceptPoint(BSTR* returnValue) { return tracker.AcceptPoint(returnValue); }

HRESULT TyvarionObject::StopCalibration(BSTR* returnValue) {
    return tracker.StopCalibration(returnValue);
}

HRESULT TyvarionObject::SendTrigger(LONG code) { return tracker.SendTrigger(code); }

HRESULT TyvarionObject::SendString(LPWSTR message) { return tracker.SendString(message); }

HRESULT TyvarionObject::SendCommand(LPWSTR message, LONG* returnValue) {
    return tracker.SendCommand(message, returnValue);
}

HRESULT TyvarionObject::SendMessage(LPWSTR message, BSTR* response) {
    return tracker.SendMessage(message, response);
}

HRESULT TyvarionObject::SetParameter(LPWSTR name, LPWSTR value, BSTR* returnValue) {
    return tracker.SetParameter(name, value, returnValue);
}

HRESULT TyvarionObject::GetParameter(LPWSTR name, BSTR* value) {
    return tracker.GetParameter(name, value);
}

HRESULT TyvarionObject::SetAOISet(LONG id, BSTR* returnValue) {
    return tracker.SetAOISet(id, returnValue);
}

}  // namespace tyvarion::module
