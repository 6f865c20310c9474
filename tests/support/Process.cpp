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

ProgramCopy copyProgramFor(const OtherUser& user, const std::string& directory) {
  namespace fs = std::filesystem;
  constexpr fs::perms kEveryoneRuns = fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec;
  const fs::path built(TARNWELL_PROGRAM);
  std::error_code ec;
  fs::create_directories(directory, ec);
  if (!ec) fs::permissions(directory, kEveryoneRuns, ec);
  if (ec) return {"", "cannot make " + directory + ": " + ec.message()};
  std::vector<fs::path> files = {built};
  for (const auto& e : fs::directory_iterator(built.parent_path(), ec)) {
    if (e.is_regular_file() && e.path().extension() == ".so") files.push_back(e.path());
  }
  if (ec) return {"", "cannot list " + built.parent_path().string() + ": " + ec.message()};
  for (const fs::path& file : files) {
    const fs::path copy = fs::path(directory) / file.filename();
    fs::copy_file(file, copy, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::permissions(copy, kEveryoneRuns, ec);
    if (ec) return {"", "cannot copy " + file.string() + " to " + directory + ": " + ec.message()};
  }
  const std::string program = (fs::path(directory) / built.filename()).string();
  // A directory above the copy that is closed to the user (the system's temporary directory
  // itself, say) leaves no place to run it from.
  if (runCommand(user.launcher() + " test -x " + shellQuote(program)).exitCode != 0)
    return {"", user.name + " cannot reach " + program +
                    "; give TMPDIR a directory that every user can enter"};
  return {program, ""};
}

}  // namespace tarnwell::test
