// The library's own error codes (the API part of the last-error record; their
// texts are category 11 of the message catalogue). One list for every layer.
#pragma once

#include <cstdint>

enum ApiError : int32_t {
    kApiNoController = 1,
    kApiNotSupported = 2,
    kApiMemoryAllocation = 7,
    kInvalidControllerId = 8,
    kInvalidUnitId = 9,
    kInvalidDriveId = 10,
    kInvalidPortId = 11,
    kApiInvalidTaskRate = 45,
    kApiInvalidSpinups = 57,
    kApiInvalidStaggerTime = 58,
    kApiNoUnit = 63,
    kApiNoBbu = 74,
    kApiNoBattery = 75,
    kApiBbuDisabled = 90,
    kInvalidEnclosureId = 92,
    kInvalidFanId = 93,
    kInvalidDoorLockId = 94,
    kInvalidAlarmId = 95,
    kInvalidSlotId = 96,
    kApiArchMismatch = 106,
    kInvalidTempSensorId = 110,
    kApiBufferTooSmall = 116,
    kInvalidPowerSupplyId = 117,
    kInvalidElementId = 119,
    kInvalidPhyId = 120,
    kInvalidArgument = 122,
    kApiInvalidCaptureSize = 129,
    kApiUnknownEventSource = 131,
};
