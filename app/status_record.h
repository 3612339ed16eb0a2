// The status record that deployment tools' detection rules read after a run that identified a
// Kavix: the registry key HKLM\SOFTWARE\orvflash (64-bit view from both builds), which only an
// elevated or SYSTEM run can write, and status.ini in the computer's folder.
#ifndef ORVFLASH_APP_STATUS_RECORD_H
#define ORVFLASH_APP_STATUS_RECORD_H

#include "run_report.h"
#include "saved_copy_store.h"

// The time now, UTC, as ISO 8601.
std::string UtcNow();

// Writes both records; the registry only where `elevated`. False if any could not be written: the
// run's outcome stands all the same.
bool WriteStatusRecord(const KavixStatus& status, bool elevated, SavedCopyStore& folder);

#endif
