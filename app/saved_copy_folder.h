// The copies of device data on Windows: files in one folder, by default the computer's (see
// computer_files/computer_folder.h), which every account of the computer shares. Every file is
// opened, renamed and deleted through the folder's checked handles (computer_files/), never by
// name, and counts without a question only from a trusted writer.
#ifndef ORVFLASH_APP_SAVED_COPY_FOLDER_H
#define ORVFLASH_APP_SAVED_COPY_FOLDER_H

#include <memory>
#include <string>
#include <vector>

#include "checked_folder.h"
#include "saved_copy_store.h"

class CSavedCopyFolder : public SavedCopyStore {
public:
    // The computer's folder. Before its first listing in the process it takes in the copies that
    // an earlier version kept in the account's own folder (legacy_copies.h).
    CSavedCopyFolder();
    // The computer's folder as it is: no copy of an earlier version moved in.
    enum Legacy { leaveLegacyCopies };
    explicit CSavedCopyFolder(Legacy) : takesLegacyCopies(false) {}
    // Files in the folder at `path` (with or without a trailing backslash), opened on first use
    // and held while this lives; nothing taken in. An empty path is no folder: nothing in it.
    explicit CSavedCopyFolder(std::wstring path)
        : computers(false), path(std::move(path)), takesLegacyCopies(false) {}

    bool Write(const std::string& name, std::initializer_list<ByteSpan> parts) override;
    bool Names(std::vector<std::string>& names) override;
    bool Read(const std::string& name, const Consumer& consume) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool Remove(const std::string& name) override;
    std::string Where() override;
    Writer WriterOf(const std::string& name) override;

private:
    // The folder, or null where there is none to use.
    CheckedFolder* Folder();

    const bool computers = true;  // the computer's folder, not `path`
    const std::wstring path;
    const bool takesLegacyCopies;
    std::unique_ptr<CheckedFolder> own;
};

// The names in `folder` that can be a copy's: plain ASCII.
bool CopyNames(const CheckedFolder& folder, std::vector<std::string>& names);
// Reads the file `name` in `folder`, opened checked (checked_open.h), in small pieces.
bool ReadCopyFile(const CheckedFolder& folder, const std::string& name,
                  const SavedCopyStore::Consumer& consume);

#endif
