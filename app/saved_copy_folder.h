// The copies of device data on Windows: files in one folder, by default the computer's (see
// computer_folder.h), which every account of the computer shares. Folder paths come from the
// system and may hold characters outside the ANSI code page, so only here are the wide-character
// file functions used.
#ifndef ORVFLASH_APP_SAVED_COPY_FOLDER_H
#define ORVFLASH_APP_SAVED_COPY_FOLDER_H

#include <string>

#include "saved_copy_store.h"

class CSavedCopyFolder : public SavedCopyStore {
public:
    // Gives the folder with a trailing backslash, made if `create`; empty if it cannot be found.
    using FolderOf = std::wstring (*)(bool create);

    // The computer's folder. Before its first listing in the process it takes in the copies that
    // an earlier version kept in the account's own folder (legacy_copies.h).
    CSavedCopyFolder();
    // Files in the folder that `folder` gives, and nothing taken in.
    explicit CSavedCopyFolder(FolderOf folder) : folderOf(folder), takesLegacyCopies(false) {}

    bool Write(const std::string& name, std::initializer_list<ByteSpan> parts) override;
    bool Names(std::vector<std::string>& names) override;
    bool Read(const std::string& name, const Consumer& consume) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool Remove(const std::string& name) override;
    std::string Where() override;

private:
    const FolderOf folderOf;
    const bool takesLegacyCopies;
};

#endif
