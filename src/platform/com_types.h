#pragma once
// The COM and OLE Automation types the portable core uses. On Windows they are
// the real ones; elsewhere they are supplied here with the same widths and
// layout, so the same code and tests build on both.
//
// Include this header before any other Windows header: it removes the
// SendMessage macro, which would otherwise rename IEyeTracker2::SendMessage.

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <oleauto.h>
#undef SendMessage

#else  // !_WIN32

#include <cstdint>

using HRESULT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using ULONGLONG = std::uint64_t;
using VARIANT_BOOL = std::int16_t;
using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using LPWSTR = OLECHAR*;
using LPCWSTR = const OLECHAR*;

#define OLESTR(text) u##text

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

// A BSTR is a length-prefixed, null-terminated UTF-16 string: a 32-bit byte
// count precedes the characters, and the pointer addresses the first character.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);
void SysFreeString(BSTR text);

#endif  // _WIN32

static_assert(sizeof(HRESULT) == 4);
static_assert(sizeof(LONG) == 4);
static_assert(sizeof(ULONGLONG) == 8);
static_assert(sizeof(VARIANT_BOOL) == 2);
static_assert(sizeof(OLECHAR) == 2);
