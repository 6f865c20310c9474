#pragma once

// Running commands and the built program as processes.

#include <optional>
#include <string>
#include <vector>

namespace tarnwell::test {

struct CommandResult {
  int exitCode = -1;  // -1 when the command did not exit normally
  std::string out;    // standard output (with standard error when merged)
  std::string err;
};

// Runs a shell command; standard error is merged into `out`.
CommandResult runCommand(const std::string& command);
// Whether a tool is on the PATH.
bool haveTool(const std::string& name);
// The text in single quotes for the shell.
std::string shellQuote(const std::string& text);

// How to run the built program.
struct ProgramRun {
  // Every member has a default, so that a run may name only its first few.
  std::string program{};     // empty: the built program (TARNWELL_PROGRAM)
  std::string workingDir{};  // empty: the test's own working directory
  // The program's private TMPDIR (working files, scratch TIFFs); required.
  std::string tmpDir{};
  std::vector<std::string> environment{};  // further NAME=value settings (HOME, XDG_STATE_HOME...)
  // Shell text put before the program's environment and name: a user switch, resource limits
  // (for example "runuser -u nobody --" or "prlimit --fsize=9000 --").
  std::string launcher{};
};
// Runs the program with the argument text (split at blanks by the shell), without a display
// and without XDG_RUNTIME_DIR, capturing standard output and standard error apart. XDG_STATE_HOME is tmpDir + "/state"
// unless the environment of the run sets it.
CommandResult runProgram(const ProgramRun& how, const std::string& arguments);
// The same with each argument quoted.
CommandResult runProgram(const ProgramRun& how, const std::vector<std::string>& arguments);

// A second local user the tests can run the program as: only when the tests run as root and
// runuser is there (CI runs as root; "nobody" is the user).
struct OtherUser {
  std::string name;
  unsigned uid = 0;
  unsigned gid = 0;
  std::string launcher() const { return "runuser -u " + name + " --"; }
};
std::optional<OtherUser> otherUser();

// A copy of the built program for another user to run, in `directory` (made if missing), with
// the modules it loads beside it (every shared object beside the built program). The build tree
// may lie where that user cannot go, such as a checkout in a home of mode 0700; the directory and
// the copies are readable and runnable by everyone. `program` is empty when the copy cannot be
// made or the user still cannot reach it, and `problem` says why.
struct ProgramCopy {
  std::string program;
  std::string problem;
};
ProgramCopy copyProgramFor(const OtherUser& user, const std::string& directory);

}  // namespace tarnwell::test
