// Automation on the Tyvarion object. IEyeTracker2's IDispatch half serves
// late-bound callers from the host's type library and reaches the same
// methods as the vtable; the ITyvarion pointer, which also answers IDispatch,
// is a dispatch without members; IProvideClassInfo describes the class.
#include "module/tyvarion_object.h"

#include "module/com_ptr.h"
#include "module/module_type_info.h"
#include "module/type_info_holders.h"

namespace tyvarion::module {

HRESULT TyvarionDispatch::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    com_ptr<ITypeInfo> typeInfo;
    *count = SUCCEEDED(loadTyvarionTypeInfo(typeInfo.put())) ? 1 : 0;
    return S_OK;
}

HRESULT TyvarionDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) {
    if (index != 0) return DISP_E_BADINDEX;
    return loadTyvarionTypeInfo(typeInfo);
}

HRESULT TyvarionDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}

HRESULT TyvarionDispatch::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                                 EXCEPINFO*, UINT*) {
    if (parameters == nullptr) return DISP_E_BADVARTYPE;
    if (parameters->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (result != nullptr) VariantInit(result);
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT EyeTracker2Dispatch::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT EyeTracker2Dispatch::GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) {
    if (index != 0) return DISP_E_BADINDEX;
    return eyeTracker2TypeInfo().getTypeInfo(locale, typeInfo);
}

HRESULT EyeTracker2Dispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                           DISPID* ids) {
    return eyeTracker2TypeInfo().getIDsOfNames(locale, names, count, ids);
}

HRESULT EyeTracker2Dispatch::Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters,
                                    VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    return eyeTracker2TypeInfo().invoke(static_cast<IEyeTracker2*>(this), id, locale, flags, parameters,
                                        result, exception, argumentError);
}

HRESULT ClassInfoProvider::GetClassInfo(ITypeInfo** typeInfo) {
    return classTypeInfo().getTypeInfo(LOCALE_NEUTRAL, typeInfo);
}

}  // namespace tyvarion::module
