#include "host-session/late_bound_tracker.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "host-session/session.h"

namespace tyvarion::host {
namespace {

// A VARIANT that clears itself.
class Variant {
public:
    Variant() noexcept { ::VariantInit(&value_); }
    ~Variant() { ::VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() noexcept { return &value_; }

private:
    VARIANT value_;
};

VARIANT i4(LONG value) {
    VARIANT variant;
    ::VariantInit(&variant);
    V_VT(&variant) = VT_I4;
    V_I4(&variant) = value;
    return variant;
}

VARIANT boolean(bool value) {
    VARIANT variant;
    ::VariantInit(&variant);
    V_VT(&variant) = VT_BOOL;
    V_BOOL(&variant) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return variant;
}

VARIANT r8(double value) {
    VARIANT variant;
    ::VariantInit(&variant);
    V_VT(&variant) = VT_R8;
    V_R8(&variant) = value;
    return variant;
}

VARIANT noInterface() {
    VARIANT variant;
    ::VariantInit(&variant);
    V_VT(&variant) = VT_UNKNOWN;
    V_UNKNOWN(&variant) = nullptr;
    return variant;
}

std::string bstrText(VARIANT* value) {
    if (V_VT(value) != VT_BSTR || V_BSTR(value) == nullptr) return {};
    return utf16ToUtf8(V_BSTR(value), ::SysStringLen(V_BSTR(value)));
}

// The methods called by name, in the order of kMethodNames.
enum class Method { SetDisplayMode, GetTime, GetStatus, GetLastError, GetEventCount, StartData,
                    SetTracking, SetRecording, Calibrate, SendTrigger, count };
constexpr std::size_t kMethodCount = static_cast<std::size_t>(Method::count);
constexpr std::array<const wchar_t*, kMethodCount> kMethodNames = {
    L"SetDisplayMode", L"GetTime", L"GetStatus", L"GetLastError", L"GetEventCount",
    L"StartData", L"SetTracking", L"SetRecording", L"Calibrate", L"SendTrigger"};

class LateBoundTracker final : public HostTracker {
public:
    LateBoundTracker(std::unique_ptr<HostTracker> early, IDispatch* dispatch,
                     const std::array<DISPID, kMethodCount>& ids)
        : early_(std::move(early)), dispatch_(dispatch), ids_(ids) {}

    std::string description() const override {
        return "eyetracker2.Tyvarion through CoCreateInstance, IEyeTracker2 late bound through IDispatch "
               "(GetIDsOfNames, Invoke; a method's S_FALSE comes back as S_OK). GetEvents and SendString "
               "through the vtable: ITypeInfo::Invoke cannot marshal a record array or an LPWSTR";
    }

    ClientLibraryInUse clientLibrary() const override { return clientLibraryInUse(); }

    HRESULT setDisplayMode(LONG width, LONG height) override {
        Variant result;
        return invoke(Method::SetDisplayMode, {i4(width), i4(height)}, result);
    }
    Reply startData(EyeTracker2DataType type, EyeTracker2EyeType eye) override {
        return reply(Method::StartData, {i4(type), i4(eye)});
    }
    Reply setTracking(bool on) override { return reply(Method::SetTracking, {boolean(on)}); }
    Reply calibrate(EyeTracker2CalibrationType type) override {
        return reply(Method::Calibrate, {i4(type), noInterface(), r8(0), r8(0), r8(0)});
    }
    Reply setRecording(bool on) override { return reply(Method::SetRecording, {boolean(on)}); }
    HRESULT sendTrigger(LONG code) override {
        Variant result;
        return invoke(Method::SendTrigger, {i4(code)}, result);
    }
    HRESULT sendString(const olestring& message) override { return early_->sendString(message); }
    HRESULT getEventCount(LONG& count) override { return longResult(Method::GetEventCount, count); }
    HRESULT getEvents(LONG& count, EyeTracker2GeneralData* events) override {
        return early_->getEvents(count, events);
    }
    HRESULT getTime(ULONGLONG& time) override {
        Variant result;
        const HRESULT invoked = invoke(Method::GetTime, {}, result);
        if (FAILED(invoked)) return invoked;
        const HRESULT changed = ::VariantChangeType(result.get(), result.get(), 0, VT_UI8);
        if (FAILED(changed)) return changed;
        time = V_UI8(result.get());
        return invoked;
    }
    HRESULT getStatus(LONG& status) override { return longResult(Method::GetStatus, status); }
    Reply getLastError() override { return reply(Method::GetLastError, {}); }

private:
    // Invoke with `arguments` in call order; a failure of the method itself
    // (DISP_E_EXCEPTION) comes back as the method's own result code.
    HRESULT invoke(Method method, std::initializer_list<VARIANT> arguments, Variant& result) {
        std::vector<VARIANT> reversed(arguments.begin(), arguments.end());
        std::reverse(reversed.begin(), reversed.end());
        DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        EXCEPINFO exception{};
        UINT argumentError = 0;
        HRESULT invoked = dispatch_->Invoke(ids_[static_cast<std::size_t>(method)], IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                            &parameters, result.get(), &exception, &argumentError);
        if (invoked == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
            if (FAILED(exception.scode)) invoked = exception.scode;
        }
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
        return invoked;
    }

    Reply reply(Method method, std::initializer_list<VARIANT> arguments) {
        Variant result;
        const HRESULT invoked = invoke(method, arguments, result);
        return {invoked, bstrText(result.get())};
    }

    HRESULT longResult(Method method, LONG& value) {
        Variant result;
        const HRESULT invoked = invoke(method, {}, result);
        if (FAILED(invoked)) return invoked;
        if (V_VT(result.get()) != VT_I4) return DISP_E_TYPEMISMATCH;
        value = V_I4(result.get());
        return invoked;
    }

    // Owns the apartment and the reference behind dispatch_.
    std::unique_ptr<HostTracker> early_;
    IDispatch* dispatch_;
    std::array<DISPID, kMethodCount> ids_;
};

}  // namespace

CreateResult createLateBoundTracker(std::unique_ptr<HostTracker> early, IEyeTracker2* object) {
    CreateResult created;
    std::array<DISPID, kMethodCount> ids{};
    for (std::size_t method = 0; method < kMethodCount; ++method) {
        LPOLESTR name = const_cast<LPOLESTR>(kMethodNames[method]);
        const HRESULT result = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &ids[method]);
        if (FAILED(result)) {
            created.error = "late binding is not available: GetIDsOfNames(\"" +
                            utf16ToUtf8(kMethodNames[method]) + "\") returned " + resultName(result);
            if (result == TYPE_E_LIBNOTREGISTERED)
                created.error +=
                    " (library not registered): the host's type library EyeTracker2Lib 1.0 describes "
                    "IEyeTracker2 for late-bound callers; register it (the stand-in: regsvr32 "
                    "EyeTracker2LibStandIn.dll)";
            return created;
        }
    }
    created.tracker = std::make_unique<LateBoundTracker>(std::move(early), object, ids);
    return created;
}

}  // namespace tyvarion::host
