#pragma once
// The module's fixed identity: class, ProgIDs, application and library ids.
// The interface ids come from the IDL through __uuidof.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

namespace tyvarion::module {

// {8CF18E82-1812-4650-9392-40B24301D2F1}
inline constexpr CLSID kClsidTyvarion = {
    0x8CF18E82, 0x1812, 0x4650, {0x93, 0x92, 0x40, 0xB2, 0x43, 0x01, 0xD2, 0xF1}};
inline constexpr const wchar_t* kClsidTyvarionText = L"{8CF18E82-1812-4650-9392-40B24301D2F1}";

// The module's type library; the AppID is the same GUID, written in lower case.
inline constexpr GUID kLibid = {
    0x3361AC55, 0x446C, 0x45A1, {0x8F, 0x65, 0xBB, 0xDD, 0x03, 0x42, 0xF7, 0xFB}};
inline constexpr WORD kLibraryMajorVersion = 1;
inline constexpr WORD kLibraryMinorVersion = 0;
inline constexpr const wchar_t* kAppIdText = L"{3361ac55-446c-45a1-8f65-bbdd0342f7fb}";

// The host's event record; widl gives no __uuidof for records.
inline constexpr GUID kEyeTracker2GeneralDataGuid = {
    0x2A384A38, 0x8662, 0x4D84, {0xAD, 0xDC, 0xE4, 0x08, 0x7E, 0x29, 0x5B, 0x37}};

inline constexpr const wchar_t* kProgId = L"eyetracker2.Tyvarion.1";
inline constexpr const wchar_t* kVersionIndependentProgId = L"eyetracker2.Tyvarion";
inline constexpr const wchar_t* kFriendlyName = L"Tyvarion Object";

}  // namespace tyvarion::module
