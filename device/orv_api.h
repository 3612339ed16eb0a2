// The Kavix device library, as orvflash calls it. The maker's orv_api.dll and our simulated Kavix
// both provide exactly these five functions.
#ifndef ORV_API_H
#define ORV_API_H

#include <stdint.h>

#ifdef _WIN32
#ifdef ORV_API_BUILDING
#define ORV_API __declspec(dllexport)
#else
#define ORV_API __declspec(dllimport)
#endif
// cdecl, as C libraries on Windows are by default: the same header serves 32-bit builds, where
// the convention is part of the binary interface, and 64-bit ones, where there is only one.
#define ORV_CALL __cdecl
#else
#define ORV_API __attribute__((visibility("default")))
#define ORV_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Zero is success; the updater gives no other value a meaning.
typedef int32_t orvStatus;

// Opens an attached device and stores its handle.
ORV_API orvStatus ORV_CALL orvOpenDevice(int32_t* handle);
// Stores the model code of the open device (1 for a Kavix).
ORV_API orvStatus ORV_CALL orvGetDeviceType(int32_t handle, int32_t* type);
// Copies sector `sector` (byte sector * 65536 on) into `destination`, 65536 bytes.
ORV_API orvStatus ORV_CALL orvReadFlash(int32_t handle, int32_t sector, unsigned char* destination);
// Erases the flash before programming.
ORV_API orvStatus ORV_CALL orvClearFlash(int32_t handle);
// Programs page `page` (byte page * 256 on) from the 256 bytes at `source`.
ORV_API orvStatus ORV_CALL orvWriteFlash(int32_t handle, int32_t page, unsigned char* source);

#ifdef __cplusplus
}
#endif

#endif
