// One Application event log entry per unattended run, for the monitoring tools that read the event
// log. The source uses the system's own generic message file, so that no file of ours must stay in
// place for the entries to read.
#ifndef ORVFLASH_APP_EVENT_REPORT_H
#define ORVFLASH_APP_EVENT_REPORT_H

#include <string>

#include "run_report.h"

// Registers the source where `elevated` (a standard account cannot) and reports the run; `logPath`
// in UTF-8.
void ReportRunEvent(int exitCode, const KavixStatus* status, const std::string& logPath,
                    bool elevated);

#endif
