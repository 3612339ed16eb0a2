// Where the copies of devices' data blocks are kept, so that an update cut short by a power loss, a
// pulled cable or a killed program can be finished by the next start. The Windows form keeps them
// in one folder for the computer, under the program data folder; the tests keep them in a folder or
// in memory.
#ifndef ORVFLASH_UPDATE_SAVED_COPY_STORE_H
#define ORVFLASH_UPDATE_SAVED_COPY_STORE_H

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

struct ByteSpan {
    const unsigned char* data;
    std::size_t size;
};

class SavedCopyStore {
public:
    // Takes the file's bytes in order, a piece at a time; false stops the reading.
    using Consumer = std::function<bool(const unsigned char* data, std::size_t size)>;

    virtual ~SavedCopyStore() = default;

    // Writes the file `name` with `parts`, one after the other, durably: once it returns true, the
    // file, its name and the folder are on the disk even if the power fails; until then the name
    // holds what it held. The whole file is first written under a new name that begins with
    // `name` and ends with ".tmp".
    virtual bool Write(const std::string& name, std::initializer_list<ByteSpan> parts) = 0;
    // The names of the files kept; false if the folder exists but cannot be listed.
    virtual bool Names(std::vector<std::string>& names) = 0;
    // Hands the whole file to `consume`; false if it cannot be read to its end or `consume`
    // stopped.
    virtual bool Read(const std::string& name, const Consumer& consume) = 0;
    // Renames `from` to `to` durably, replacing any `to`: once it returns true the new name is on
    // the disk even if the power fails.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    // False if the file is still there afterwards.
    virtual bool Remove(const std::string& name) = 0;
    // The folder, as the user is told where a file is.
    virtual std::string Where() = 0;

    // Who wrote a file. A file counts without a question only where SYSTEM, Administrators or the
    // account running now wrote it; otherwise `account` names its writer, for the question.
    struct Writer {
        bool trusted = true;
        std::string account;
    };
    virtual Writer WriterOf(const std::string& name) {
        (void)name;
        return Writer();
    }
};

#endif
