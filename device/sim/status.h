// Why a call of the simulated Kavix failed. The updater only tells zero from non-zero; the values
// are for tests and the trace.
#ifndef ORV_SIM_STATUS_H
#define ORV_SIM_STATUS_H

#include "orv_api.h"

namespace orv_sim {

constexpr orvStatus kOk = 0;
constexpr orvStatus kNotOpen = 1;        // no successful orvOpenDevice yet, or the last one failed
constexpr orvStatus kBadHandle = 2;      // not the handle of the last open
constexpr orvStatus kBadIndex = 3;       // sector or page outside the flash
constexpr orvStatus kNullPointer = 4;    // a pointer argument was null
constexpr orvStatus kIoError = 5;        // the flash image or trace file could not be used
constexpr orvStatus kBadFlashFile = 6;   // the flash image file has the wrong size
constexpr orvStatus kInjectedFault = 7;  // a fault asked for by an ORV_SIM_ variable
constexpr orvStatus kUnplugged = 8;      // the call came after ORV_SIM_UNPLUG_AFTER calls
constexpr orvStatus kBadConfig = 9;      // an ORV_SIM_ variable holds a bad value

}  // namespace orv_sim

#endif
