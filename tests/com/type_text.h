#pragma once
// Type information written out the way IDL would write it, for comparing type
// libraries line by line.

#include "com_test_support.h"

#include <oaidl.h>

#include <string>
#include <vector>

namespace com_testing {

std::string typeText(ITypeInfo* info, const TYPEDESC& type);
std::string memberName(ITypeInfo* info, MEMBERID id);
// "[id] Name([in] LONG width, [out, retval] BSTR* value) -> HRESULT" for each
// function, in vtable order.
std::vector<std::string> functions(ITypeInfo* info);
// "name: type at offset" for a record, "NAME = value" for an enumeration.
std::vector<std::string> variables(ITypeInfo* info);
std::string guidText(const GUID& guid);

}  // namespace com_testing
