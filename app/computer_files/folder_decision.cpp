#include "folder_decision.h"

FolderAction DecideFolder(const PlaceFacts& place) {
    if (!place.exists) {
        return FolderAction::make;
    }
    if (!place.directory || place.reparsePoint) {
        // A standard account may have put it there to steer a SYSTEM run: only an administrator
        // moves it, and what it holds is kept for a person to look at.
        return place.elevated ? FolderAction::moveAside : FolderAction::refuse;
    }
    if (place.programRules) {
        // Whoever owns it: the OWNER RIGHTS entry leaves an owner nothing extra.
        return FolderAction::use;
    }
    return place.elevated || place.owner == Owner::runner ? FolderAction::reRule
                                                          : FolderAction::useAsItStands;
}

bool IsPlainFile(const FileFacts& file) {
    return file.diskFile && !file.directory && !file.reparsePoint && file.links == 1;
}

bool IsTrustedWriter(Owner owner) {
    return owner != Owner::otherAccount;
}

bool MayTrimLog(Owner logOwner, bool elevated) {
    return elevated || logOwner == Owner::runner;
}

bool MayUseLogFile(Owner logOwner) {
    return logOwner != Owner::otherAccount;
}
