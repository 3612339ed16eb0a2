// Where the copies of devices' data blocks are kept, so that an update cut short by a power loss, a
// pulled cable or a killed program can be finished by the next start. The Windows form keeps them
// under the user's local application data; the tests keep them in a folder of their own.
#ifndef ORVFLASH_UPDATE_SAVED_COPY_STORE_H
#define ORVFLASH_UPDATE_SAVED_COPY_STORE_H

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

struct ByteSpan {
    const unsigned char* data;
    std::size_t size;
};

class SavedCopyStore {
public:
    virtual ~SavedCopyStore() = default;

    // Replaces the file `name` with `parts`, one after the other, durably: once it returns true,
    // the file holds all of them even if the power fails; until then it holds what it held.
    virtual bool Write(const std::string& name, std::initializer_list<ByteSpan> parts) = 0;
    // The names of the files kept.
    virtual std::vector<std::string> Names() = 0;
    // The whole file; false if it cannot be read or holds more than `maxSize` bytes.
    virtual bool Read(const std::string& name, std::vector<unsigned char>& content,
                      std::size_t maxSize) = 0;
    virtual void Remove(const std::string& name) = 0;
};

#endif
