#include "sim_device.h"

#include <atomic>
#include <cstdlib>
#include <fstream>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "flash_map.h"
#include "sim_environment.h"

namespace fs = std::filesystem;

namespace {

long ProcessId() {
#ifdef _WIN32
    return long(_getpid());
#else
    return long(getpid());
#endif
}

}  // namespace

SimDevice::SimDevice() : previousDirectory(fs::current_path()) {
    static std::atomic<int> counter{0};
    std::ostringstream name;
    // Test programs run in parallel: the process id keeps their folders apart.
    name << "orvflash-update-test-" << ProcessId() << "-" << counter++;
    folder = fs::temp_directory_path() / name.str();
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::current_path(folder);
    orv_sim::ClearSimVariables();
    orv_sim::SetVariable("ORV_SIM_FLASH", (folder / "flash.bin").string());
    orv_sim::SetVariable("ORV_SIM_TRACE", (folder / "trace.txt").string());
    WriteFlash(FactoryFlash(20481234, 4));
}

SimDevice::~SimDevice() {
    fs::current_path(previousDirectory);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

Bytes PatternBytes(std::size_t length, unsigned seed) {
    Bytes bytes(length);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    return bytes;
}

Bytes SimDevice::FactoryFlash(int32_t serial, uint16_t version) {
    using namespace flash_map;
    Bytes flash = PatternBytes(kSimFlashSize, 7);
    unsigned char* block = flash.data() + kDataBlockOffset;
    uint32_t s = static_cast<uint32_t>(serial);
    for (int i = 0; i < 4; ++i) {
        block[kSerialNumberOffset + i] = static_cast<unsigned char>(s >> (8 * i));
    }
    block[kFirmwareVersionOffset] = static_cast<unsigned char>(version & 0xFF);
    block[kFirmwareVersionOffset + 1] = static_cast<unsigned char>(version >> 8);
    return flash;
}

void SimDevice::WriteFlash(const Bytes& flash) {
    std::ofstream out(folder / "flash.bin", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(flash.data()), std::streamsize(flash.size()));
}

Bytes SimDevice::ReadFlash() const {
    std::ifstream in(folder / "flash.bin", std::ios::binary);
    Bytes flash(std::size_t(fs::file_size(folder / "flash.bin")));
    in.read(reinterpret_cast<char*>(flash.data()), std::streamsize(flash.size()));
    return flash;
}

void SimDevice::WriteImage(const Bytes& image) {
    std::ofstream out(folder / flash_map::kImageFileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
}

void SimDevice::SetFault(const char* name, const std::string& value) {
    orv_sim::SetVariable(name, value);
}

std::vector<DeviceCall> SimDevice::Calls() const {
    return orv_sim::ReadTrace((folder / "trace.txt").string());
}

int SimDevice::WriteCalls() const {
    int writes = 0;
    for (const DeviceCall& call : Calls()) {
        writes += call.function == "orvWriteFlash";
    }
    return writes;
}
