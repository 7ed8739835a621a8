#pragma once
// The simulated client library's object: the maker's TYApi operations over a
// loopback connection to tyvarion-sim-server, whose address comes from
// TYVARION_SERVER. Natively it sits behind tyapi::TYApi (sim_tyapi.cpp); on
// Windows the stand-in DLL constructs it in the caller's storage and exports
// its operations under the maker's names (standin_exports.cpp).
//
// Threads: every operation on the caller's thread, one at a time; the
// listeners are called on the connection's receive thread, through their
// slot tables. Once the destructor has returned, no listener is called.

#include <memory>
#include <string>

#include "client/tyapi.h"
#include "library/client_connection.h"

namespace tyvarion::sim {

class SimClient {
public:
    explicit SimClient(const char* clientName);
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    void registerGazeSampleListener(tyapi::TYApi::TYGazeSampleCallback* listener);
    void registerDeviceEventListener(tyapi::TYApi::TYDeviceEventCallback* listener);
    tyapi::ReturnConnect connect();
    void getActiveScreen(tyapi::ScreenConfig& screen) const;
    tyapi::ReturnStart requestTracking(int mode);
    void unrequestTracking();
    tyapi::ReturnCalibrate calibrate(int mode);

private:
    bool connected() const;

    std::string clientName_;
    ListenerSlots listeners_;
    // Declared last: destroyed first, so its thread stops before the slots go.
    std::unique_ptr<ClientConnection> connection_;
};

}  // namespace tyvarion::sim
