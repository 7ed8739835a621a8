#pragma once
// The COM class Tyvarion: ITyvarion, IEyeTracker2 and IProvideClassInfo, in
// that order, over the portable tracker object. Created stand-alone or
// aggregated; when aggregated, IUnknown through any of the three interfaces is
// the outer unknown's, and innerUnknown is the object's own identity.
//
// Threads: apartment-threaded. The host's thread creates, calls, references
// and releases the object, so the reference count is a plain counter; the
// tracker's own threads never touch it.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <ocidl.h>

#include "eyetracker2_template.h"
#include "module/com_class.h"
#include "tracker/tyvarion.h"

namespace tyvarion::module {

TYVARION_BEGIN_COM_CLASSES

// IDispatch behind the ITyvarion pointer, which QueryInterface also returns for
// IDispatch: a dispatch interface without members.
class TyvarionDispatch : public ITyvarion {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override;

protected:
    TyvarionDispatch() = default;
    ~TyvarionDispatch() = default;
};

// IDispatch behind the IEyeTracker2 pointer: the late-bound half of the dual interface.
class EyeTracker2Dispatch : public IEyeTracker2 {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override;

protected:
    EyeTracker2Dispatch() = default;
    ~EyeTracker2Dispatch() = default;
};

class ClassInfoProvider : public IProvideClassInfo {
public:
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** typeInfo) override;

protected:
    ClassInfoProvider() = default;
    ~ClassInfoProvider() = default;
};

class TyvarionObject final : public TyvarionDispatch,
                             public EyeTracker2Dispatch,
                             public ClassInfoProvider {
public:
    // The class entry's createObject: creates an object (aggregated when `outer`
    // is given) and returns `iid` of it. Any exception from the construction
    // is E_OUTOFMEMORY, and nothing stays allocated.
    static HRESULT create(IUnknown* outer, REFIID iid, void** result) noexcept;

    // Only create() makes one.
    class Key {
        friend class TyvarionObject;
        Key() = default;
    };
    // Builds the tracker (which connects once), then locks the module.
    TyvarionObject(Key, IUnknown* outer);
    // Teardown: the client goes first, the writer after the module lock is released.
    ~TyvarionObject();
    TyvarionObject(const TyvarionObject&) = delete;
    TyvarionObject& operator=(const TyvarionObject&) = delete;

    // IUnknown through each of the three interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IEyeTracker2, forwarded to the tracker.
    HRESULT STDMETHODCALLTYPE GetCaps(LONG* caps) override;
    HRESULT STDMETHODCALLTYPE IsMultithreaded(VARIANT_BOOL* multiThreaded) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(LONG width, LONG height) override;
    HRESULT STDMETHODCALLTYPE Execute() override;
    HRESULT STDMETHODCALLTYPE GetTime(ULONGLONG* time) override;
    HRESULT STDMETHODCALLTYPE GetStatus(LONG* status) override;
    HRESULT STDMETHODCALLTYPE GetLastError(BSTR* message) override;
    HRESULT STDMETHODCALLTYPE GetEventCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE GetEvents(LONG* count, ::EyeTracker2GeneralData* events) override;
    HRESULT STDMETHODCALLTYPE StartData(::EyeTracker2DataType type, ::EyeTracker2EyeType eye,
                                        BSTR* returnValue) override;
    HRESULT STDMETHODCALLTYPE StopData(::EyeTracker2DataType type, ::EyeTracker2EyeType eye,
                                       BSTR* returnValue) override;
    HRESULT STDMETHODCALLTYPE SetTracking(VARIANT_BOOL trackingOn, BSTR* returnValue) override;
    HRESULT STDMETHODCALLTYPE SetRecording(VARIANT_BOOL recordingOn, BSTR* returnValue) override;
    HRESULT STDMETHODCALLTYPE Calibrate(::EyeTracker2CalibrationType calibrationType,
                                        ICalibrationDisplay* interfacePtr, double parameter1,
                                        double parameter2, double parameter3,
                                        BSTR* returnValue) override;
    HRESULT STDMETHODCALLTYPE StartCalibration(LONG pointCount, LONG* points,
                                               ::EyeTracker2EyeType eye, LPWSTR parameters,
                                               BSTR* returnValue) override;
    HRESULT STDMETHODCALLTYPE GetCalibrationPoint(LONG* pointIndex, LONG* x, LONG* y,
                                                  BSTR* returnValue) override;
    HRESULT STDMETHODCALLTYPE AcceptPoint(BSTR* returnValue) override;
    HRESULT STDMETHODCALLTYPE StopCalibration(BSTR* returnValue) override;
    HRESULT STDMETHODCALLTYPE SendTrigger(LONG code) override;
    HRESULT STDMETHODCALLTYPE SendString(LPWSTR message) override;
    HRESULT STDMETHODCALLTYPE SendCommand(LPWSTR message, LONG* returnValue) override;
    HRESULT STDMETHODCALLTYPE SendMessage(LPWSTR message, BSTR* response) override;
    HRESULT STDMETHODCALLTYPE SetParameter(LPWSTR name, LPWSTR value, BSTR* returnValue) override;
    HRESULT STDMETHODCALLTYPE GetParameter(LPWSTR name, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE SetAOISet(LONG id, BSTR* returnValue) override;

private:
    // The object's own IUnknown when aggregated: answers IUnknown with itself
    // and every other IID from the interface table, and owns the count.
    class InnerUnknown final : public IUnknown {
    public:
        explicit InnerUnknown(TyvarionObject& owner) noexcept : owner_(owner) {}
        InnerUnknown(const InnerUnknown&) = delete;
        InnerUnknown& operator=(const InnerUnknown&) = delete;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;

    private:
        TyvarionObject& owner_;
    };

    HRESULT innerQueryInterface(REFIID iid, void** result);
    ULONG innerAddRef();
    ULONG innerRelease();

    LONG refCount = 0;
    IUnknown* outerUnknown;  // the controlling unknown when aggregated; not counted
    InnerUnknown innerUnknown{*this};
    Tyvarion tracker;
};

TYVARION_END_COM_CLASSES

}  // namespace tyvarion::module
