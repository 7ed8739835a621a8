// Automation on the Tyvarion object: IDispatch behind ITyvarion and behind
// IEyeTracker2, and IProvideClassInfo. Not offered yet.
#include "module/tyvarion_object.h"

namespace tyvarion::module {

HRESULT TyvarionDispatch::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

HRESULT TyvarionDispatch::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT TyvarionDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT TyvarionDispatch::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                 UINT*) {
    return E_NOTIMPL;
}

HRESULT EyeTracker2Dispatch::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

HRESULT EyeTracker2Dispatch::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT EyeTracker2Dispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT EyeTracker2Dispatch::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                    UINT*) {
    return E_NOTIMPL;
}

HRESULT ClassInfoProvider::GetClassInfo(ITypeInfo**) { return E_NOTIMPL; }

}  // namespace tyvarion::module
