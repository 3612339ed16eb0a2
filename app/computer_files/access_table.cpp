#include "access_table.h"

namespace {

// Read, on a file: its data, attributes, extended attributes, rules; waiting on it.
constexpr DWORD kRead =
    FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_READ_EA | READ_CONTROL | SYNCHRONIZE;

}  // namespace

DWORD AccessFor(FolderTask operation) {
    switch (operation) {
        case FolderTask::holdFolder:
            // FILE_ADD_FILE also lets the folder's new names be flushed through the handle.
            return FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES |
                   READ_CONTROL | SYNCHRONIZE;
        case FolderTask::readFile:
            return kRead;
        case FolderTask::createFile:
            return FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE | DELETE;
        case FolderTask::appendLog:
            // Without FILE_WRITE_DATA every write lands at the end, whatever other runs do.
            return FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
        case FolderTask::renameOwnFile:
        case FolderTask::deleteOwnFile:
        case FolderTask::replaceOwnFile:
            return DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
        case FolderTask::reRuleFolder:
            return WRITE_DAC | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
        case FolderTask::reRuleFile:
            return WRITE_DAC | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
        case FolderTask::moveAside:
            return DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    }
    return 0;
}
