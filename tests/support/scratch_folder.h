// A new empty folder under the temporary directory for one test, removed with it.
#ifndef ORVFLASH_TESTS_SUPPORT_SCRATCH_FOLDER_H
#define ORVFLASH_TESTS_SUPPORT_SCRATCH_FOLDER_H

#include <filesystem>
#include <string>

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix);
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();

    const std::filesystem::path& Path() const { return path; }
    // A file in the folder, as the simulator's variables and the byte files take it.
    std::string File(const char* name) const { return (path / name).string(); }

private:
    std::filesystem::path path;
};

#endif
