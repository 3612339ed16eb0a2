// The copies of device data on Windows: files in "orvflash" under the user's local application
// data folder. Its path comes from the user's profile and may hold characters outside the ANSI
// code page, so only here are the wide-character file functions used.
#ifndef ORVFLASH_APP_SAVED_COPY_FOLDER_H
#define ORVFLASH_APP_SAVED_COPY_FOLDER_H

#include <string>

#include "saved_copy_store.h"

class CSavedCopyFolder : public SavedCopyStore {
public:
    bool Write(const std::string& name, std::initializer_list<ByteSpan> parts) override;
    bool Names(std::vector<std::string>& names) override;
    bool Read(const std::string& name, const Consumer& consume) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool Remove(const std::string& name) override;
    std::string Where() override;

private:
    // The folder with a trailing backslash, created if `create`; empty if it cannot be found.
    static std::wstring Folder(bool create);
};

#endif
