#pragma once
// The maker's client library is bound by name: its exports as the maker's
// compiler decorates the declarations the plug-in uses, one table per
// architecture. tests/client_abi checks both tables against what clang in
// Microsoft mode makes of those declarations, and the stand-in DLL exports
// exactly these names.

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

using ClientExportTable = std::array<const char*, kClientExportCount>;

inline constexpr ClientExportTable kClientExportsX86{
    "??0TYApi@tyapi@@QAE@PBD@Z",
    "??1TYApi@tyapi@@QAE@XZ",
    "?registerGazeSampleListener@TYApi@tyapi@@QAEXPAVTYGazeSampleCallback@12@@Z",
    "?registerDeviceEventListener@TYApi@tyapi@@QAEXPAVTYDeviceEventCallback@12@@Z",
    "?connect@TYApi@tyapi@@QAE?AW4ReturnConnect@2@XZ",
    "?getActiveScreen@TYApi@tyapi@@QBEXAAUScreenConfig@2@@Z",
    "?requestTracking@TYApi@tyapi@@QAE?AW4ReturnStart@2@H@Z",
    "?unrequestTracking@TYApi@tyapi@@QAEXXZ",
    "?calibrate@TYApi@tyapi@@QAE?AW4ReturnCalibrate@2@H@Z",
    "?TYInvalidValue@tyapi@@3NB",
};

inline constexpr ClientExportTable kClientExportsX64{
    "??0TYApi@tyapi@@QEAA@PEBD@Z",
    "??1TYApi@tyapi@@QEAA@XZ",
    "?registerGazeSampleListener@TYApi@tyapi@@QEAAXPEAVTYGazeSampleCallback@12@@Z",
    "?registerDeviceEventListener@TYApi@tyapi@@QEAAXPEAVTYDeviceEventCallback@12@@Z",
    "?connect@TYApi@tyapi@@QEAA?AW4ReturnConnect@2@XZ",
    "?getActiveScreen@TYApi@tyapi@@QEBAXAEAUScreenConfig@2@@Z",
    "?requestTracking@TYApi@tyapi@@QEAA?AW4ReturnStart@2@H@Z",
    "?unrequestTracking@TYApi@tyapi@@QEAAXXZ",
    "?calibrate@TYApi@tyapi@@QEAA?AW4ReturnCalibrate@2@H@Z",
    "?TYInvalidValue@tyapi@@3NB",
};

}  // namespace tyapi
