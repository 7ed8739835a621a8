// A client library DLL that only looks like one: the stand-in's entry point
// names with empty bodies and a marker, exported under the names a .def file
// gives them. client-library-check reads such files and never runs them.
extern "C" {
void tyapiStandInConstruct() {}
void tyapiStandInDestruct() {}
void tyapiStandInRegisterGazeSampleListener() {}
void tyapiStandInRegisterDeviceEventListener() {}
void tyapiStandInConnect() {}
void tyapiStandInGetActiveScreen() {}
void tyapiStandInRequestTracking() {}
void tyapiStandInUnrequestTracking() {}
void tyapiStandInCalibrate() {}
}

namespace tyapi {
extern const double TYInvalidValue;
const double TYInvalidValue = -9999.5;
}  // namespace tyapi
