#include "support/Process.h"

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "support/TempTree.h"

namespace tarnwell::test {

namespace {

struct PipeCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) pclose(f);
  }
};

int exitCodeOf(int status) { return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

CommandResult runCommand(const std::string& command) {
  CommandResult result;
  std::unique_ptr<FILE, PipeCloser> pipe(popen(("(" + command + ") 2>&1").c_str(), "r"));
  if (!pipe) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) result.out.append(buffer, n);
  result.exitCode = exitCodeOf(pclose(pipe.release()));
  return result;
}

bool haveTool(const std::string& name) {
  return runCommand("command -v " + shellQuote(name) + " >/dev/null").exitCode == 0;
}

std::string shellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

CommandResult runProgram(const ProgramRun& how, const std::string& arguments) {
  TempTree capture;
  const std::string program = how.program.empty() ? std::string(TARNWELL_PROGRAM) : how.program;
  std::string command;
  if (!how.workingDir.empty()) command += "cd " + shellQuote(how.workingDir) + " && ";
  if (!how.launcher.empty()) command += how.launcher + " ";
  // Logs of a program without a "log" directory beside it stay in the private tree too, unless
  // the run's own environment says otherwise. Without a runtime directory the private working
  // directory lies in tmpDir too, unless the run's own environment names one.
  command += "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR TMPDIR=" +
             shellQuote(how.tmpDir) +
             " XDG_STATE_HOME=" + shellQuote(how.tmpDir + "/state");
  for (const std::string& setting : how.environment) command += " " + shellQuote(setting);
  command += " " + shellQuote(program) + " " + arguments + " >" + shellQuote(capture.path("stdout")) +
             " 2>" + shellQuote(capture.path("stderr"));
  CommandResult result;
  result.exitCode = exitCodeOf(std::system(command.c_str()));
  result.out = readText(capture.path("stdout"));
  result.err = readText(capture.path("stderr"));
  return result;
}

CommandResult runProgram(const ProgramRun& how, const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& a : arguments) text += (text.empty() ? "" : " ") + shellQuote(a);
  return runProgram(how, text);
}

std::optional<OtherUser> otherUser() {
  if (::geteuid() != 0 || !haveTool("runuser")) return std::nullopt;
  const passwd* entry = ::getpwnam("nobody");
  if (entry == nullptr || entry->pw_uid == 0) return std::nullopt;
  return OtherUser{"nobody", static_cast<unsigned>(entry->pw_uid), static_cast<unsigned>(entry->pw_gid)};
}

}  // namespace tarnwell::test
