#pragma once
// The host's eye-tracker contract: the record and enumerations that travel
// through IEyeTracker2. The COM module compiles the same definitions from IDL;
// these are the portable core's, with the same binary layout.

#include <cstddef>
#include <cstdint>

#include "platform/com_types.h"

namespace tyvarion {

enum EyeTracker2DataType : std::int32_t {
    ET2_DT_POSITION = 0,
    ET2_DT_SACCADE = 1,
    ET2_DT_FIXATION = 2,
    ET2_DT_AOI = 3,
    ET2_DT_PUPIL = 4,
    ET2_DT_BLINK = 5,
    ET2_DT_TRIGGER = 6,
    ET2_DT_FORCE_DWORD = 0x7FFFFFFF,
};

// Right comes before left.
enum EyeTracker2EyeType : std::int32_t {
    ET2_ET_DEFAULT = 0,
    ET2_ET_RIGHT = 1,
    ET2_ET_LEFT = 2,
    ET2_ET_FORCE_DWORD = 0x7FFFFFFF,
};

enum EyeTracker2CalibrationType : std::int32_t {
    ET2_CT_CALIBRATE = 0,
    ET2_CT_DRIFT_CORRECT = 1,
    ET2_CT_FORCE_DWORD = 0x7FFFFFFF,
};

// One event for the host: 64 bytes, 8-byte alignment, shared with the host.
struct EyeTracker2GeneralData {
    LONG type;
    LONG subType;
    LONG eye;
    ULONGLONG time;
    double xData;
    double yData;
    double data1;
    double data2;
    double data3;
};

static_assert(sizeof(EyeTracker2DataType) == 4);
static_assert(sizeof(EyeTracker2EyeType) == 4);
static_assert(sizeof(EyeTracker2CalibrationType) == 4);
static_assert(sizeof(EyeTracker2GeneralData) == 64);
static_assert(alignof(EyeTracker2GeneralData) == 8);
static_assert(offsetof(EyeTracker2GeneralData, type) == 0);
static_assert(offsetof(EyeTracker2GeneralData, subType) == 4);
static_assert(offsetof(EyeTracker2GeneralData, eye) == 8);
static_assert(offsetof(EyeTracker2GeneralData, time) == 16);
static_assert(offsetof(EyeTracker2GeneralData, xData) == 24);
static_assert(offsetof(EyeTracker2GeneralData, yData) == 32);
static_assert(offsetof(EyeTracker2GeneralData, data1) == 40);
static_assert(offsetof(EyeTracker2GeneralData, data2) == 48);
static_assert(offsetof(EyeTracker2GeneralData, data3) == 56);

// Capability mask and status codes as the host defines them.
inline constexpr LONG kCapabilities = 0x43;
inline constexpr LONG kStatusNotConnected = 0x40;
inline constexpr LONG kStatusTracking = 0x07;
inline constexpr LONG kStatusNotTracking = 0x10;
inline constexpr LONG kStatusRecordingBit = 0x08;

constexpr LONG statusCode(bool connected, bool tracking, bool recording) {
    if (!connected) return kStatusNotConnected;
    return (tracking ? kStatusTracking : kStatusNotTracking) |
           (recording ? kStatusRecordingBit : 0);
}

}  // namespace tyvarion
