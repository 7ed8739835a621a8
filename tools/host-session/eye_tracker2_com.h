#pragma once
// The host's view of IEyeTracker2 for an early-bound COM client: the vtable
// after IUnknown and IDispatch, in method order, with the host's calling
// convention. The record and the enumerations are the portable core's, which
// have the host's binary layout.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <objbase.h>
#include <oaidl.h>

#include "tracker/eye_tracker2.h"

namespace tyvarion::host {

// {1B33D185-1217-403B-BB78-CA99B276ECDD}
inline constexpr IID kIID_IEyeTracker2 = {
    0x1B33D185, 0x1217, 0x403B, {0xBB, 0x78, 0xCA, 0x99, 0xB2, 0x76, 0xEC, 0xDD}};

inline constexpr const wchar_t* kTrackerProgId = L"eyetracker2.Tyvarion";

// The host's calibration display; the plug-in draws nothing through it, so
// only its identity as an interface pointer matters here.
using ICalibrationDisplay = IUnknown;

// COM interfaces are released, never deleted through a base pointer: they have
// no virtual destructor by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct IEyeTracker2 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetCaps(LONG* caps) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsMultithreaded(VARIANT_BOOL* multiThreaded) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDisplayMode(LONG width, LONG height) = 0;
    virtual HRESULT STDMETHODCALLTYPE Execute() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTime(ULONGLONG* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatus(LONG* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLastError(BSTR* message) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEventCount(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEvents(LONG* count, EyeTracker2GeneralData* events) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartData(EyeTracker2DataType type, EyeTracker2EyeType eye,
                                                BSTR* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopData(EyeTracker2DataType type, EyeTracker2EyeType eye,
                                               BSTR* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTracking(VARIANT_BOOL trackingOn, BSTR* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRecording(VARIANT_BOOL recordingOn, BSTR* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE Calibrate(EyeTracker2CalibrationType calibrationType,
                                                ICalibrationDisplay* interfacePtr, double parameter1,
                                                double parameter2, double parameter3,
                                                BSTR* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartCalibration(LONG pointCount, LONG* points,
                                                       EyeTracker2EyeType eye, LPWSTR parameters,
                                                       BSTR* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCalibrationPoint(LONG* pointIndex, LONG* x, LONG* y,
                                                          BSTR* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE AcceptPoint(BSTR* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopCalibration(BSTR* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendTrigger(LONG code) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendString(LPWSTR message) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendCommand(LPWSTR message, LONG* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendMessage(LPWSTR message, BSTR* response) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParameter(LPWSTR name, LPWSTR value, BSTR* returnValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParameter(LPWSTR name, BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAOISet(LONG id, BSTR* returnValue) = 0;
};
#pragma GCC diagnostic pop

}  // namespace tyvarion::host
