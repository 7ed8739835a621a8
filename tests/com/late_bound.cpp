#include "late_bound.h"

#include <algorithm>

#include "platform/text.h"

namespace com_testing {

Variant Variant::i4(LONG value) {
    Variant variant;
    V_VT(&variant.value_) = VT_I4;
    V_I4(&variant.value_) = value;
    return variant;
}

Variant Variant::boolean(VARIANT_BOOL value) {
    Variant variant;
    V_VT(&variant.value_) = VT_BOOL;
    V_BOOL(&variant.value_) = value;
    return variant;
}

Variant Variant::r8(double value) {
    Variant variant;
    V_VT(&variant.value_) = VT_R8;
    V_R8(&variant.value_) = value;
    return variant;
}

Variant Variant::bstr(const wchar_t* value) {
    Variant variant;
    V_VT(&variant.value_) = VT_BSTR;
    V_BSTR(&variant.value_) = SysAllocString(value);
    return variant;
}

Variant Variant::lpwstr(wchar_t* value) {
    // Not a type VariantClear frees: the text stays borrowed.
    Variant variant;
    V_VT(&variant.value_) = VT_LPWSTR;
    V_BYREF(&variant.value_) = value;
    return variant;
}

Variant Variant::unknown(IUnknown* value) {
    Variant variant;
    V_VT(&variant.value_) = VT_UNKNOWN;
    V_UNKNOWN(&variant.value_) = value;
    if (value != nullptr) value->AddRef();
    return variant;
}

Invocation::Invocation() { exception = EXCEPINFO{}; }

Invocation::~Invocation() {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

DISPID dispatchId(IDispatch* dispatch, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT result = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    EXPECT_HR(S_OK, result) << "GetIDsOfNames for " << tyvarion::utf16ToUtf8(name, wcslen(name));
    return id;
}

void invoke(IDispatch* dispatch, DISPID id, std::initializer_list<Variant> arguments, Invocation& outcome) {
    // Invoke takes the arguments last to first, and owns none of them.
    std::vector<VARIANT> reversed;
    for (const Variant& argument : arguments) reversed.push_back(*argument.get());
    std::reverse(reversed.begin(), reversed.end());
    DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    outcome.result = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                                      outcome.value.get(), &outcome.exception, &outcome.argumentError);
}

void invoke(IDispatch* dispatch, const wchar_t* name, std::initializer_list<Variant> arguments,
            Invocation& outcome) {
    invoke(dispatch, dispatchId(dispatch, name), arguments, outcome);
}

std::string bstrText(const Variant& value) {
    if (value.type() != VT_BSTR) return "(type " + std::to_string(value.type()) + ")";
    return text(V_BSTR(value.get()));
}

}  // namespace com_testing
