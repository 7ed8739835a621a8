// The stand-in DLL's entry points: the maker's TYApi members as plain
// functions with the maker's convention (`this` first, __thiscall on x86),
// exported under the maker's decorated names by TYApi32.def and TYApi64.def.
// The caller provides the object's storage, as it does for the maker's
// library; the listeners are called only through their two-slot tables.
#include <new>

#include "client/client_object_storage.h"
#include "client/tyapi.h"
#include "library/sim_client.h"

using tyvarion::sim::SimClient;

static_assert(sizeof(SimClient) <= tyapi::kClientObjectStorage);
static_assert(alignof(SimClient) <= tyapi::kClientObjectAlignment);

namespace {
SimClient& client(void* self) { return *static_cast<SimClient*>(self); }
}  // namespace

extern "C" {

void* TYAPI_MEMBER_CALL tyapiStandInConstruct(void* self, const char* clientName) {
    return ::new (self) SimClient(clientName);
}

void TYAPI_MEMBER_CALL tyapiStandInDestruct(void* self) { client(self).~SimClient(); }

void TYAPI_MEMBER_CALL tyapiStandInRegisterGazeSampleListener(
    void* self, tyapi::TYApi::TYGazeSampleCallback* listener) {
    client(self).registerGazeSampleListener(listener);
}

void TYAPI_MEMBER_CALL tyapiStandInRegisterDeviceEventListener(
    void* self, tyapi::TYApi::TYDeviceEventCallback* listener) {
    client(self).registerDeviceEventListener(listener);
}

tyapi::ReturnConnect TYAPI_MEMBER_CALL tyapiStandInConnect(void* self) { return client(self).connect(); }

void TYAPI_MEMBER_CALL tyapiStandInGetActiveScreen(const void* self, tyapi::ScreenConfig& screen) {
    static_cast<const SimClient*>(self)->getActiveScreen(screen);
}

tyapi::ReturnStart TYAPI_MEMBER_CALL tyapiStandInRequestTracking(void* self, int mode) {
    return client(self).requestTracking(mode);
}

void TYAPI_MEMBER_CALL tyapiStandInUnrequestTracking(void* self) { client(self).unrequestTracking(); }

tyapi::ReturnCalibrate TYAPI_MEMBER_CALL tyapiStandInCalibrate(void* self, int mode) {
    return client(self).calibrate(mode);
}

}  // extern "C"
