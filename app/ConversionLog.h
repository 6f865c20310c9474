#pragma once

#include <ctime>
#include <iosfwd>
#include <string>

#include "app/ConversionSettings.h"

namespace tarnwell {

// Name of the log of single-file command-line runs.
inline constexpr const char* kSingleFileLogName = "fileconv.log";

// The log file name of directory and window runs: the local time as 14 digits + ".log".
[[nodiscard]] std::string timeStampedLogName(const std::tm& localTime);

// The bytes one log entry adds: the fixed-form date line, a separator line, the report, the
// separator again, with a carriage return inserted before every line feed.
[[nodiscard]] std::string logEntryBytes(const std::tm& localTime, const std::string& report);

// Appends the report as one dated entry to a log file in the log directory (ending in a
// separator), dated with the given local time. An empty name selects the time-stamped name.
// Returns 0 when the log directory is missing (nothing is written, and the directory is not
// created here), otherwise 0 on success and -1 when the file cannot be written. Callers may
// ignore the result.
// A new log file gets `createMode` less the umask.
int writeLog(const std::string& logDirectory, const std::string& name, const std::string& report,
             const std::tm& localTime, unsigned createMode = 0666);

// The same in the log directory of the paths, which is made first when the paths say so. Logs
// in the user's state directory are readable by the user alone (files 0600); a "log" directory
// beside the program keeps the usual permissions.
int writeLog(const WorkingPaths& paths, const std::string& name, const std::string& report,
             const std::tm& localTime);

// Caption of the results report.
inline constexpr const char* kResultsCaption = "Tarnwell Results";

// Shows the results report of a command-line run. Without a message box available the report
// goes to out.
void showResults(const std::string& report, std::ostream& out);

}  // namespace tarnwell
