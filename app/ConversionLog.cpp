#include "app/ConversionLog.h"

#include <cstdio>
#include <ostream>

#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr const char* kSeparator = "\r\n--------------------------\r\n";

// The bytes a text-mode file receives for a text: every line feed becomes CR LF.
void appendTextMode(std::string& out, const std::string& text) {
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
}

}  // namespace

std::string timeStampedLogName(const std::tm& t) {
  char digits[64];
  std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d%02d", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return std::string(digits) + ".log";
}

std::string logEntryBytes(const std::tm& localTime, const std::string& report) {
  std::string bytes;
  bytes.reserve(report.size() + report.size() / 8 + 128);
  appendTextMode(bytes, platform::fixedDateText(localTime) + "\n");
  appendTextMode(bytes, kSeparator);
  appendTextMode(bytes, report);
  appendTextMode(bytes, kSeparator);
  return bytes;
}

int writeLog(const WorkingPaths& paths, const std::string& name, const std::string& report,
             const std::tm& localTime) {
  if (paths.makeLogDirectory && !platform::isDirectory(paths.logDirectory))
    (void)platform::createDirectories(paths.logDirectory);
  return writeLog(paths.logDirectory, name, report, localTime,
                  paths.makeLogDirectory ? 0600u : 0666u);
}

int writeLog(const std::string& logDirectory, const std::string& name, const std::string& report,
             const std::tm& localTime, unsigned createMode) {
  if (!platform::isDirectory(logDirectory)) return 0;
  std::string path = logDirectory;
  if (!path.empty() && path.back() != platform::kPathSeparator) path += platform::kPathSeparator;
  path += name.empty() ? timeStampedLogName(localTime) : name;
  // The whole entry goes out in one append, so entries of two processes do not interleave.
  return platform::appendToFile(path, logEntryBytes(localTime, report), createMode);
}

void showResults(const std::string& report, std::ostream& out) {
  out << report;
  out.flush();
}

}  // namespace tarnwell
