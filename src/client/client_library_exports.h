#pragma once
// The maker's client library is bound by name: its exports as the maker's
// compiler decorates the declarations the plug-in uses, one table per
// architecture. tests/client_abi checks both tables against what clang in
// Microsoft mode makes of those declarations, and the stand-in DLL exports
// the first spelling of each.
//
// The maker's documentation leaves some declarations open, and each reading
// changes a decorated name but not the call. So each member has a short list
// of spellings, the one believed first; the first the DLL exports is bound.
// Only spellings whose machine-level call is the same belong here (the oracle
// compares the compiled callers of every reading instruction by instruction):
//   - `class` or `struct` for the callbacks and ScreenConfig (V... / U...):
//     the keyword is not part of the layout or the call;
//   - getActiveScreen taking ScreenConfig* instead of ScreenConfig&: both
//     pass the record's address;
//   - a virtual ~TYApi (UAE / UEAA): the object then starts with a table
//     pointer, but the maker's constructor writes it into the storage the
//     plug-in provides, and the plug-in calls the destructor by its address
//     as the maker's compiler does for an object that goes out of scope;
//   - the Return... enumerations nested in TYApi (@12@): an int either way;
//   - TYInvalidValue const or not, at namespace scope or a static member of
//     TYApi: the plug-in only reads the double at the exported address.
// Not here: other argument or result types and other calling conventions,
// which call differently.

#include <array>
#include <cstddef>

namespace tyapi {

enum ClientExport : std::size_t {
    kExportConstruct,                    // TYApi(const char*)
    kExportDestruct,                     // ~TYApi()
    kExportRegisterGazeSampleListener,   // void registerGazeSampleListener(TYGazeSampleCallback*)
    kExportRegisterDeviceEventListener,  // void registerDeviceEventListener(TYDeviceEventCallback*)
    kExportConnect,                      // ReturnConnect connect()
    kExportGetActiveScreen,              // void getActiveScreen(ScreenConfig&) const
    kExportRequestTracking,              // ReturnStart requestTracking(int)
    kExportUnrequestTracking,            // void unrequestTracking()
    kExportCalibrate,                    // ReturnCalibrate calibrate(int)
    kExportInvalidValue,                 // extern const double TYInvalidValue
    kClientExportCount,
};

inline constexpr std::size_t kMaxSpellings = 4;
// The spellings of one member, the believed one first; null after the last.
using ExportSpellings = std::array<const char*, kMaxSpellings>;
using ClientExportTable = std::array<ExportSpellings, kClientExportCount>;

// How the member is written in the plug-in's own declarations, for messages.
inline constexpr std::array<const char*, kClientExportCount> kClientExportMembers{
    "TYApi(const char*)",
    "~TYApi()",
    "registerGazeSampleListener",
    "registerDeviceEventListener",
    "connect",
    "getActiveScreen",
    "requestTracking",
    "unrequestTracking",
    "calibrate",
    "TYInvalidValue",
};

// clang-format off
inline constexpr ClientExportTable kClientExportsX86{{
    {"??0TYApi@tyapi@@QAE@PBD@Z"},
    {"??1TYApi@tyapi@@QAE@XZ", "??1TYApi@tyapi@@UAE@XZ"},
    {"?registerGazeSampleListener@TYApi@tyapi@@QAEXPAVTYGazeSampleCallback@12@@Z",
     "?registerGazeSampleListener@TYApi@tyapi@@QAEXPAUTYGazeSampleCallback@12@@Z"},
    {"?registerDeviceEventListener@TYApi@tyapi@@QAEXPAVTYDeviceEventCallback@12@@Z",
     "?registerDeviceEventListener@TYApi@tyapi@@QAEXPAUTYDeviceEventCallback@12@@Z"},
    {"?connect@TYApi@tyapi@@QAE?AW4ReturnConnect@2@XZ",
     "?connect@TYApi@tyapi@@QAE?AW4ReturnConnect@12@XZ"},
    {"?getActiveScreen@TYApi@tyapi@@QBEXAAUScreenConfig@2@@Z",
     "?getActiveScreen@TYApi@tyapi@@QBEXAAVScreenConfig@2@@Z",
     "?getActiveScreen@TYApi@tyapi@@QBEXPAUScreenConfig@2@@Z",
     "?getActiveScreen@TYApi@tyapi@@QBEXPAVScreenConfig@2@@Z"},
    {"?requestTracking@TYApi@tyapi@@QAE?AW4ReturnStart@2@H@Z",
     "?requestTracking@TYApi@tyapi@@QAE?AW4ReturnStart@12@H@Z"},
    {"?unrequestTracking@TYApi@tyapi@@QAEXXZ"},
    {"?calibrate@TYApi@tyapi@@QAE?AW4ReturnCalibrate@2@H@Z",
     "?calibrate@TYApi@tyapi@@QAE?AW4ReturnCalibrate@12@H@Z"},
    {"?TYInvalidValue@tyapi@@3NB",
     "?TYInvalidValue@tyapi@@3NA",
     "?TYInvalidValue@TYApi@tyapi@@2NB",
     "?TYInvalidValue@TYApi@tyapi@@2NA"},
}};

inline constexpr ClientExportTable kClientExportsX64{{
    {"??0TYApi@tyapi@@QEAA@PEBD@Z"},
    {"??1TYApi@tyapi@@QEAA@XZ", "??1TYApi@tyapi@@UEAA@XZ"},
    {"?registerGazeSampleListener@TYApi@tyapi@@QEAAXPEAVTYGazeSampleCallback@12@@Z",
     "?registerGazeSampleListener@TYApi@tyapi@@QEAAXPEAUTYGazeSampleCallback@12@@Z"},
    {"?registerDeviceEventListener@TYApi@tyapi@@QEAAXPEAVTYDeviceEventCallback@12@@Z",
     "?registerDeviceEventListener@TYApi@tyapi@@QEAAXPEAUTYDeviceEventCallback@12@@Z"},
    {"?connect@TYApi@tyapi@@QEAA?AW4ReturnConnect@2@XZ",
     "?connect@TYApi@tyapi@@QEAA?AW4ReturnConnect@12@XZ"},
    {"?getActiveScreen@TYApi@tyapi@@QEBAXAEAUScreenConfig@2@@Z",
     "?getActiveScreen@TYApi@tyapi@@QEBAXAEAVScreenConfig@2@@Z",
     "?getActiveScreen@TYApi@tyapi@@QEBAXPEAUScreenConfig@2@@Z",
     "?getActiveScreen@TYApi@tyapi@@QEBAXPEAVScreenConfig@2@@Z"},
    {"?requestTracking@TYApi@tyapi@@QEAA?AW4ReturnStart@2@H@Z",
     "?requestTracking@TYApi@tyapi@@QEAA?AW4ReturnStart@12@H@Z"},
    {"?unrequestTracking@TYApi@tyapi@@QEAAXXZ"},
    {"?calibrate@TYApi@tyapi@@QEAA?AW4ReturnCalibrate@2@H@Z",
     "?calibrate@TYApi@tyapi@@QEAA?AW4ReturnCalibrate@12@H@Z"},
    {"?TYInvalidValue@tyapi@@3NB",
     "?TYInvalidValue@tyapi@@3NA",
     "?TYInvalidValue@TYApi@tyapi@@2NB",
     "?TYInvalidValue@TYApi@tyapi@@2NA"},
}};
// clang-format on

}  // namespace tyapi
