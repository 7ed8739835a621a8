#pragma once
// The module's fixed identity: class, ProgIDs, application and library ids.
// Code that only queries interfaces takes their ids from the IDL through __uuidof.

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
// The locale the module's library declares and is registered under.
inline constexpr LCID kLibraryLocale = 0x0409;

// The interfaces again, as constants for the process-wide type-information holders.
// {1B33D185-1217-403B-BB78-CA99B276ECDD}
inline constexpr IID kIidEyeTracker2 = {
    0x1B33D185, 0x1217, 0x403B, {0xBB, 0x78, 0xCA, 0x99, 0xB2, 0x76, 0xEC, 0xDD}};
// {F410A5B5-6AA7-41B3-A472-5FDDC4D75572}
inline constexpr IID kIidTyvarion = {
    0xF410A5B5, 0x6AA7, 0x41B3, {0xA4, 0x72, 0x5F, 0xDD, 0xC4, 0xD7, 0x55, 0x72}};

// The host's type library EyeTracker2Lib 1.0, which describes IEyeTracker2 for
// late-bound callers; the host registers it, the module never does.
inline constexpr GUID kHostLibid = {
    0x3083C81D, 0xC74F, 0x4881, {0x98, 0xA4, 0x20, 0xC2, 0x19, 0xE4, 0xE3, 0x26}};
inline constexpr WORD kHostLibraryMajorVersion = 1;
inline constexpr WORD kHostLibraryMinorVersion = 0;

// The host's event record; widl gives no __uuidof for records.
inline constexpr GUID kEyeTracker2GeneralDataGuid = {
    0x2A384A38, 0x8662, 0x4D84, {0xAD, 0xDC, 0xE4, 0x08, 0x7E, 0x29, 0x5B, 0x37}};

inline constexpr const wchar_t* kProgId = L"eyetracker2.Tyvarion.1";
inline constexpr const wchar_t* kVersionIndependentProgId = L"eyetracker2.Tyvarion";
inline constexpr const wchar_t* kFriendlyName = L"Tyvarion Object";

}  // namespace tyvarion::module
