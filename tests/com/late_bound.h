#pragma once
// Late-bound calls for the dispatch tests: names to identifiers and Invoke with
// the arguments in call order, the way an automation client makes them.

#include "com_test_support.h"

#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace com_testing {

// A VARIANT that clears itself.
class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    static Variant i4(LONG value);
    static Variant boolean(VARIANT_BOOL value);
    static Variant r8(double value);
    static Variant bstr(const wchar_t* value);
    static Variant lpwstr(wchar_t* value);  // not owned: the caller keeps it alive
    static Variant unknown(IUnknown* value);  // not referenced: the caller keeps it alive

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    VARTYPE type() const noexcept { return V_VT(&value_); }

private:
    VARIANT value_;
};

// What Invoke answered, with its outputs.
struct Invocation {
    Invocation();
    ~Invocation();
    Invocation(const Invocation&) = delete;
    Invocation& operator=(const Invocation&) = delete;

    HRESULT result = E_UNEXPECTED;
    Variant value;
    EXCEPINFO exception;
    UINT argumentError = 12345;
};

// The identifier of `name`; DISPID_UNKNOWN, with a test failure, when it has none.
DISPID dispatchId(IDispatch* dispatch, const wchar_t* name);

// Calls `name` as a method with `arguments` in call order (Invoke receives them reversed).
void invoke(IDispatch* dispatch, const wchar_t* name, std::initializer_list<Variant> arguments,
            Invocation& outcome);
void invoke(IDispatch* dispatch, DISPID id, std::initializer_list<Variant> arguments, Invocation& outcome);

// The text of a VT_BSTR result; "(type N)" for any other type.
std::string bstrText(const Variant& value);

}  // namespace com_testing
