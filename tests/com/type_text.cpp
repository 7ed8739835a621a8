#include "type_text.h"

#include "platform/text.h"

namespace com_testing {

std::string typeText(ITypeInfo* info, const TYPEDESC& type) {
    switch (type.vt) {
        case VT_I2: return "short";
        case VT_I4: return "LONG";
        case VT_R8: return "double";
        case VT_BSTR: return "BSTR";
        case VT_BOOL: return "VARIANT_BOOL";
        case VT_UI1: return "unsigned char";
        case VT_UI2: return "unsigned short";
        case VT_UI4: return "unsigned long";
        case VT_UI8: return "ULONGLONG";
        case VT_LPWSTR: return "LPWSTR";
        case VT_HRESULT: return "HRESULT";
        case VT_VOID: return "void";
        case VT_PTR: return typeText(info, *type.lptdesc) + "*";
        case VT_CARRAY:
            return typeText(info, type.lpadesc->tdescElem) + "[" +
                   std::to_string(type.lpadesc->rgbounds[0].cElements) + "]";
        case VT_USERDEFINED: {
            com_ptr<ITypeInfo> referenced;
            unique_bstr name;
            if (FAILED(info->GetRefTypeInfo(type.hreftype, referenced.put())) ||
                FAILED(referenced.get()->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr)))
                return "(unreadable)";
            return text(name);
        }
        default: return "vt" + std::to_string(type.vt);
    }
}

std::string memberName(ITypeInfo* info, MEMBERID id) {
    unique_bstr name;
    return SUCCEEDED(info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr)) ? text(name) : "(none)";
}

std::vector<std::string> functions(ITypeInfo* info) {
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) return {"(no attributes)"};
    const WORD count = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    std::vector<std::string> lines;
    for (UINT index = 0; index < count; ++index) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(index, &function))) return {"(no function)"};
        std::vector<unique_bstr> names(function->cParams + 1);
        std::vector<BSTR> raw(names.size());
        UINT found = 0;
        info->GetNames(function->memid, raw.data(), static_cast<UINT>(raw.size()), &found);
        for (UINT i = 0; i < found; ++i) names[i].reset(raw[i]);
        std::string line = "[" + std::to_string(function->memid) + "] " + text(names[0]) + "(";
        for (SHORT p = 0; p < function->cParams; ++p) {
            const ELEMDESC& parameter = function->lprgelemdescParam[p];
            const USHORT flags = parameter.paramdesc.wParamFlags;
            std::string direction;
            if (flags & PARAMFLAG_FIN) direction += "in";
            if (flags & PARAMFLAG_FOUT) direction += direction.empty() ? "out" : ", out";
            if (flags & PARAMFLAG_FRETVAL) direction += ", retval";
            line += (p == 0 ? "[" : ", [") + direction + "] " + typeText(info, parameter.tdesc) + " " +
                    (static_cast<UINT>(p + 1) < found ? text(names[p + 1]) : "?");
        }
        line += ") -> " + typeText(info, function->elemdescFunc.tdesc);
        if (function->oVft != static_cast<SHORT>((7 + index) * sizeof(void*)))
            line += " at vtable offset " + std::to_string(function->oVft);
        lines.push_back(line);
        info->ReleaseFuncDesc(function);
    }
    return lines;
}

std::vector<std::string> variables(ITypeInfo* info) {
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) return {"(no attributes)"};
    const WORD count = attributes->cVars;
    info->ReleaseTypeAttr(attributes);
    std::vector<std::string> lines;
    for (UINT index = 0; index < count; ++index) {
        VARDESC* variable = nullptr;
        if (FAILED(info->GetVarDesc(index, &variable))) return {"(no variable)"};
        const std::string name = memberName(info, variable->memid);
        if (variable->varkind == VAR_CONST) {
            lines.push_back(name + " = " + std::to_string(variable->lpvarValue->lVal));
        } else {
            lines.push_back(name + ": " + typeText(info, variable->elemdescVar.tdesc) + " at " +
                            std::to_string(variable->oInst));
        }
        info->ReleaseVarDesc(variable);
    }
    return lines;
}

std::string guidText(const GUID& guid) {
    wchar_t buffer[39];
    StringFromGUID2(guid, buffer, 39);
    return tyvarion::utf16ToUtf8(buffer);
}

}  // namespace com_testing
