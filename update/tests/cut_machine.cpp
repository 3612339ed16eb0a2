#include "cut_machine.h"

#include <cstring>

#include "kavix_flash.h"
#include "orv_api.h"
#include "std_saved_copy_folder.h"

namespace {

CutMachine* machine = nullptr;

constexpr int32_t kHandle = 0x4B56;
constexpr int32_t kPowerOff = 8;
constexpr std::size_t kSectors = layout::kMiB / layout::kSector;

}  // namespace

extern "C" {

orvStatus orvOpenDevice(int32_t* handle) {
    return machine->Open(handle);
}

orvStatus orvGetDeviceType(int32_t, int32_t* type) {
    *type = 1;
    return 0;
}

orvStatus orvReadFlash(int32_t, int32_t sector, unsigned char* destination) {
    return machine->Read(sector, destination);
}

orvStatus orvClearFlash(int32_t) {
    return machine->Erase();
}

orvStatus orvWriteFlash(int32_t, int32_t page, unsigned char* source) {
    return machine->Write(page, source);
}

}  // extern "C"

CutMachine::CutMachine(std::mt19937_64& random) : random(random) {
    machine = this;
}

CutMachine::~CutMachine() {
    machine = nullptr;
}

void CutMachine::PowerOn() {
    cutAt = -1;
    cutInErase = false;
    cutAtPage.reset();
    operations = 0;
    off = false;
    lyingPage.reset();
    eraseFails = false;
    eraseSkipsSector.reset();
    cutEraseLeavesSerial.reset();
    swapBeforeRead.reset();
    readBackFailsAt.reset();
    readBackCutAt.reset();
    cutAtDisk = 0;
    cutAfterDisk = false;
    diskOperations = 0;
    readsAfterWrites = 0;
    written = false;
}

bool CutMachine::AdmitDisk(bool& cut) {
    const bool here = ++diskOperations == cutAtDisk;
    if (here && cutAfterDisk) {
        cutAt = operations + 1;
    }
    return Admit(cut, here && !cutAfterDisk);
}

bool CutMachine::Admit(bool& cut, bool here) {
    cut = !off && (operations++ == cutAt || here);
    off = off || cut;
    return !off || cut;
}

// Each bit turned with a chance of its own for each cut: a cut may leave few bits or most.
void CutMachine::SetSomeBits(unsigned char* bytes, std::size_t size) {
    const int sparseness = int(random() % 4);
    for (std::size_t at = 0; at < size; at += sizeof(uint64_t)) {
        uint64_t bits = random();
        for (int i = 0; i < sparseness; ++i) {
            bits = random() % 2 ? bits & random() : bits | random();
        }
        uint64_t word = 0;
        std::memcpy(&word, bytes + at, sizeof word);
        word |= bits;
        std::memcpy(bytes + at, &word, sizeof word);
    }
}

int32_t CutMachine::Open(int32_t* handle) {
    bool cut = false;
    if (!Admit(cut) || cut) {
        return kPowerOff;
    }
    reads = 0;
    *handle = kHandle;
    return 0;
}

int32_t CutMachine::Read(int32_t sector, unsigned char* destination) {
    bool cut = false;
    readsAfterWrites += written ? 1 : 0;
    const bool readBack = written && readsAfterWrites == readBackCutAt;
    if (!Admit(cut, readBack) || cut) {
        return kPowerOff;
    }
    if (written && readsAfterWrites == readBackFailsAt) {
        return kPowerOff - 2;
    }
    if (swapBeforeRead == ++reads) {
        flash.swap(swapTo);
    }
    std::copy_n(flash.begin() + long(sector * layout::kSector), layout::kSector, destination);
    return 0;
}

int32_t CutMachine::Erase() {
    bool cut = false;
    if (!Admit(cut, cutInErase)) {
        return kPowerOff;
    }
    if (eraseFails) {
        return kPowerOff - 1;
    }
    if (!cut) {
        const long skipped = eraseSkipsSector.value_or(-1) * long(layout::kSector);
        const Bytes kept =
            skipped < 0 ? Bytes() : Slice(flash, std::size_t(skipped), layout::kSector);
        std::fill_n(flash.begin(), layout::kMiB, 0xFF);
        std::copy(kept.begin(), kept.end(), flash.begin() + std::max(skipped, 0L));
        return 0;
    }
    // Sector by sector: those before the one it was in erased, that one partly. All at once: every
    // sector partly.
    const bool allAtOnce = !cutEraseLeavesSerial && random() % 2 == 0;
    const std::size_t reached =
        cutEraseLeavesSerial ? layout::kDataBlock / layout::kSector : random() % kSectors;
    if (allAtOnce) {
        SetSomeBits(flash.data(), layout::kMiB);
    } else {
        std::fill_n(flash.begin(), reached * layout::kSector, 0xFF);
        SetSomeBits(flash.data() + reached * layout::kSector, layout::kSector);
    }
    if (cutEraseLeavesSerial) {
        SetSerialNumber(flash.data() + layout::kDataBlock, *cutEraseLeavesSerial);
    }
    return kPowerOff;
}

int32_t CutMachine::Write(int32_t page, const unsigned char* source) {
    bool cut = false;
    if (!Admit(cut, cutAtPage == page)) {
        return kPowerOff;
    }
    written = true;
    if (lyingPage == page) {
        return 0;
    }
    // A cut page got only some of its new 0-bits: those under `missed` keep what the page held.
    unsigned char missed[layout::kPage] = {};
    if (cut) {
        SetSomeBits(missed, sizeof missed);
    }
    unsigned char* programmed = flash.data() + std::size_t(page) * layout::kPage;
    for (std::size_t i = 0; i < layout::kPage; ++i) {
        programmed[i] &= source[i] | missed[i];
    }
    return cut ? kPowerOff : 0;
}

class CutMachine::MemoryDisk : public SavedCopyStore {
public:
    explicit MemoryDisk(CutMachine& machine) : machine(machine), files(machine.files) {}

    bool Write(const std::string& name, std::initializer_list<ByteSpan> parts) override {
        bool cut = false;
        if (!machine.AdmitDisk(cut)) {
            return false;
        }
        Bytes& temporary = files[name + ".tmp"];
        temporary.clear();
        for (const ByteSpan& part : parts) {
            temporary.insert(temporary.end(), part.data, part.data + part.size);
        }
        if (cut) {
            temporary.resize(temporary.empty() ? 0 : machine.random() % temporary.size());
            return false;
        }
        // The file is this program's only once the write has landed.
        machine.untrusted.erase(name);
        files[name] = std::move(temporary);
        files.erase(name + ".tmp");
        return true;
    }
    bool Names(std::vector<std::string>& names) override {
        names.clear();
        for (const auto& file : files) {
            names.push_back(file.first);
        }
        return true;
    }
    bool Read(const std::string& name, const Consumer& consume) override {
        const auto file = files.find(name);
        if (file == files.end()) {
            return false;
        }
        for (std::size_t at = 0; at < file->second.size(); at += 0x10000) {
            if (!consume(file->second.data() + at,
                         std::min<std::size_t>(0x10000, file->second.size() - at))) {
                return false;
            }
        }
        return true;
    }
    bool Rename(const std::string& from, const std::string& to) override {
        bool cut = false;
        // A file being renamed as the power goes is renamed or not.
        const auto file = files.find(from);
        if (!machine.AdmitDisk(cut) || file == files.end()) {
            return false;
        }
        if (!cut || machine.random() % 2 == 0) {
            Bytes moved = std::move(file->second);
            files.erase(file);
            files[to] = std::move(moved);
            // A rename keeps the file's writer.
            if (machine.untrusted.erase(from) > 0) {
                machine.untrusted.insert(to);
            } else {
                machine.untrusted.erase(to);
            }
        }
        return !cut;
    }
    bool Remove(const std::string& name) override {
        bool cut = false;
        // A file being removed as the power goes is removed or not.
        if (machine.AdmitDisk(cut) && (!cut || machine.random() % 2 == 0)) {
            files.erase(name);
        }
        return files.count(name) == 0;
    }
    std::string Where() override { return "C:\\ProgramData\\orvflash"; }
    Writer WriterOf(const std::string& name) override {
        return WriterUnlessListed(machine.untrusted, name);
    }

private:
    CutMachine& machine;
    std::map<std::string, Bytes>& files;
};

std::unique_ptr<SavedCopyStore> CutMachine::Disk() {
    return std::make_unique<MemoryDisk>(*this);
}
