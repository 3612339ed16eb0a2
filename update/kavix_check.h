// The read-only check (/s /check): what a deployment tool asks before it updates. It opens the
// Kavix, reads its type and data block, and looks at the saved copies without tidying, moving or
// writing any of them.
#ifndef ORVFLASH_UPDATE_KAVIX_CHECK_H
#define ORVFLASH_UPDATE_KAVIX_CHECK_H

#include "run_report.h"
#include "saved_copy_store.h"

// The check's exit code (exit_code.h: up to date, no device, must decide, or one of the check's
// own); `status` holds what was read where a Kavix was identified.
int CheckKavix(SavedCopyStore& copies, KavixStatus& status, bool& identified);

#endif
