#include "legacy_copies.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "saved_copies.h"

namespace {

// A copy is 512 KiB and a few bytes; anything much larger is none of ours.
constexpr std::size_t kLargestCopy = 0x100000;

bool ReadWhole(SavedCopyStore& store, const std::string& name, std::vector<unsigned char>& bytes) {
    bytes.clear();
    return store.Read(name, [&](const unsigned char* data, std::size_t size) {
        if (bytes.size() + size > kLargestCopy) {
            return false;
        }
        bytes.insert(bytes.end(), data, data + size);
        return true;
    });
}

// Whether `store` holds `name` with exactly `bytes`, compared a piece at a time.
bool Holds(SavedCopyStore& store, const std::string& name,
           const std::vector<unsigned char>& bytes) {
    std::size_t at = 0;
    const bool read = store.Read(name, [&](const unsigned char* data, std::size_t size) {
        if (size > bytes.size() - at || std::memcmp(bytes.data() + at, data, size) != 0) {
            return false;
        }
        at += size;
        return true;
    });
    return read && at == bytes.size();
}

}  // namespace

std::wstring LegacyCopyFolder(bool) {
    PWSTR base = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &base))) {
        folder = std::wstring(base) + L"\\orvflash\\";
    }
    CoTaskMemFree(base);
    return folder;
}

void MoveLegacyCopies(SavedCopyStore& from, SavedCopyStore& into) {
    std::vector<std::string> names;
    std::vector<std::string> kept;
    // Unless both folders can be listed, a name could be overwritten: nothing moves.
    if (!from.Names(names) || names.empty() || !into.Names(kept)) {
        return;
    }
    std::vector<unsigned char> bytes;
    for (const std::string& name : names) {
        if (!saved_copies::IsCopyName(name) || !ReadWhole(from, name, bytes)) {
            continue;
        }
        const bool there = std::find(kept.begin(), kept.end(), name) != kept.end();
        if (there ? Holds(into, name, bytes) : into.Write(name, {{bytes.data(), bytes.size()}})) {
            from.Remove(name);
        }
    }
}
