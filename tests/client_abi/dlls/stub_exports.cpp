// A client library DLL that only looks like one: the stand-in's entry point
// names with empty bodies and a marker, exported under the names a .def file
// gives them. client-library-check reads such files and never runs them.
// With TYVARION_STUB_NEEDS_DEVICE it imports a DLL of the maker's that no PC
// has, TYDevice.dll, so that Windows refuses to load it.
#ifdef TYVARION_STUB_NEEDS_DEVICE
extern "C" void tyDeviceOpen();
#define TYVARION_STUB_CONNECT tyDeviceOpen()
#else
#define TYVARION_STUB_CONNECT
#endif

extern "C" {
void tyapiStandInConstruct() {}
void tyapiStandInDestruct() {}
void tyapiStandInRegisterGazeSampleListener() {}
void tyapiStandInRegisterDeviceEventListener() {}
void tyapiStandInConnect() { TYVARION_STUB_CONNECT; }
void tyapiStandInGetActiveScreen() {}
void tyapiStandInRequestTracking() {}
void tyapiStandInUnrequestTracking() {}
void tyapiStandInCalibrate() {}
}

namespace tyapi {
extern const double TYInvalidValue;
const double TYInvalidValue = -9999.5;
}  // namespace tyapi
