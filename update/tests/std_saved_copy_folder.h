// A SavedCopyStore in a folder of the C++ library's files, with a fault that tests can inject.
#ifndef ORVFLASH_UPDATE_TESTS_STD_SAVED_COPY_FOLDER_H
#define ORVFLASH_UPDATE_TESTS_STD_SAVED_COPY_FOLDER_H

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#include "saved_copy_store.h"

// The writer of `name`: this program, unless the file is in `untrusted`.
inline SavedCopyStore::Writer WriterUnlessListed(const std::set<std::string>& untrusted,
                                                 const std::string& name) {
    SavedCopyStore::Writer writer;
    writer.trusted = untrusted.count(name) == 0;
    writer.account = writer.trusted ? "" : "PC\\guest";
    return writer;
}

class StdSavedCopyFolder : public SavedCopyStore {
public:
    explicit StdSavedCopyFolder(std::filesystem::path folder) : folder(std::move(folder)) {}

    bool failWrite = false;
    bool failRename = false;
    bool failRemove = false;
    // Files that an account the program does not trust wrote.
    std::set<std::string> untrusted;

    bool Write(const std::string& name, std::initializer_list<ByteSpan> parts) override {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        const std::filesystem::path temporary = folder / (name + ".tmp");
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            for (const ByteSpan& part : parts) {
                out.write(reinterpret_cast<const char*>(part.data), std::streamsize(part.size));
            }
            if (failWrite || !out.flush()) {
                return false;
            }
        }
        std::filesystem::rename(temporary, folder / name, error);
        return !error;
    }
    bool Names(std::vector<std::string>& names) override {
        names.clear();
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            names.push_back(entry.path().filename().string());
        }
        return !error || error == std::errc::no_such_file_or_directory;
    }
    // In order of name.
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        Names(names);
        std::sort(names.begin(), names.end());
        return names;
    }
    bool Read(const std::string& name, const Consumer& consume) override {
        std::ifstream in(folder / name, std::ios::binary);
        char piece[0x10000];
        while (in) {
            in.read(piece, sizeof piece);
            if (in.gcount() > 0 &&
                !consume(reinterpret_cast<const unsigned char*>(piece), std::size_t(in.gcount()))) {
                return false;
            }
        }
        return in.eof();
    }
    bool Rename(const std::string& from, const std::string& to) override {
        std::error_code error;
        if (failRename) {
            return false;
        }
        std::filesystem::rename(folder / from, folder / to, error);
        return !error;
    }
    bool Remove(const std::string& name) override {
        std::error_code error;
        return !failRemove && (std::filesystem::remove(folder / name, error) || !error);
    }
    std::string Where() override { return folder.string(); }
    Writer WriterOf(const std::string& name) override {
        return WriterUnlessListed(untrusted, name);
    }

private:
    std::filesystem::path folder;
};

#endif
