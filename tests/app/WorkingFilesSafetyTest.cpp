// The built program among several users: working files no other user can read, block or
// redirect, nothing left behind, and a destination PDF that is never torn. The tests that need
// a second user run only as root (CI), with "nobody" as that user, and run the program from a
// copy that user can reach wherever the build tree lies.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/ContainerBuilders.h"
#include "support/Bitmap.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::OtherUser;

// The old fixed names in the temporary directory, and the page files of "/m=1".
const std::vector<std::string> kWorkingNames = {
    "trwtmp.tmp",   "trwseg.tmp",       "trwlock.tmp",  "trwtif.tmp",     "trwtif.tmp.tiff",
    "trwintif.tmp", "trwintif1001.tif", "trwcptif.tmp", "trwintif1002.tif"};

// Everything in a directory, sorted, with "/" after directories and "->target" after links.
std::vector<std::string> listing(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(directory, ec)) {
    std::string name = e.path().filename().string();
    if (e.is_symlink()) {
      name += "->" + fs::read_symlink(e.path()).string();
    } else if (e.is_directory()) {
      name += "/";
    }
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct Owner {
  unsigned uid = 0;
  unsigned gid = 0;
};

void giveTo(const std::string& path, Owner owner) {
  ASSERT_EQ(::lchown(path.c_str(), owner.uid, owner.gid), 0) << path;
}

timespec modificationTime(const std::string& path) {
  struct stat st{};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mtim;
}

std::string privateName(unsigned uid) { return "tarnwell-" + std::to_string(uid); }

// One source of each kind the working files serve: a TIFF (copy step only), a raw fax (work
// and index files), and a container converted with one file per page.
struct Source {
  std::string file;
  std::string options;
};

class WorkingFilesAmongUsers : public testing::Test {
 protected:
  void SetUp() override {
    other = test::otherUser();
    if (!other) GTEST_SKIP() << "needs root and runuser for a second user";
    fs::permissions(tree.path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    const test::ProgramCopy copy = test::copyProgramFor(*other, tree.path("bin"));
    if (copy.program.empty()) GTEST_SKIP() << copy.problem;
    program = copy.program;
    shared = tree.mkdir("shared");
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    tree.mkdir("in");
    fs::copy_file(TARNWELL_SOURCE_DIR "/samples/letter.tif", tree.path("in/letter.tif"));
    fs::copy_file(TARNWELL_SOURCE_DIR "/samples/memo.g3", tree.path("in/memo.g3"));
    std::vector<test::CodedPage> pages;
    for (uint32_t seed : {3u, 4u})
      pages.push_back(test::codePage(test::makePage(test::Pattern::kWords, 1728, 120, seed), 7, 1));
    ASSERT_TRUE(test::writeBytes(tree.path("in/fax.qfx"), test::buildQliiFax(pages)));
    sources = {{tree.path("in/letter.tif"), ""},
               {tree.path("in/memo.g3"), ""},
               {tree.path("in/fax.qfx"), "/m=1"}};
  }

  // A directory the user owns, for its PDFs and logs.
  std::string homeOf(const std::string& name, Owner owner) {
    const std::string home = tree.mkdir(name);
    giveTo(home, owner);
    return home;
  }

  // Runs the program as the user (root, or `user` when given) with the shared temporary
  // directory, converting `source` into the user's home.
  CommandResult convertAs(const std::optional<OtherUser>& user, const std::string& home,
                          const Source& source, const std::string& pdfName,
                          std::vector<std::string> environment = {}) {
    test::ProgramRun how;
    how.program = program;
    how.workingDir = home;
    how.tmpDir = shared;
    how.launcher = user ? user->launcher() : "";
    environment.push_back("XDG_STATE_HOME=" + home + "/state");
    environment.push_back("HOME=" + home);
    how.environment = environment;
    std::vector<std::string> args = {"/q"};
    if (!source.options.empty()) args.push_back(source.options);
    args.insert(args.end(), {"/f", source.file, home + "/" + pdfName});
    return test::runProgram(how, args);
  }

  void expectConverted(const CommandResult& r, const std::string& pdf) {
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(test::readText(pdf).starts_with("%PDF-")) << pdf;
    if (test::haveTool("qpdf")) {
      EXPECT_TRUE(test::qpdfCheck(pdf)) << pdf;
    }
  }

  test::TempTree tree;
  std::optional<OtherUser> other;
  std::string program;  // the copy the other user can run
  std::string shared;
  std::vector<Source> sources;
};

// Two users take turns on one shared sticky temporary directory: every conversion succeeds,
// and the directory is empty after every run.
TEST_F(WorkingFilesAmongUsers, TwoUsersTakeTurns) {
  const std::string rootHome = homeOf("root-home", {0, 0});
  const std::string otherHome = homeOf("other-home", {other->uid, other->gid});
  for (int round = 0; round < 2; ++round) {
    for (std::size_t i = 0; i < sources.size(); ++i) {
      for (const bool asOther : {false, true}) {
        SCOPED_TRACE(sources[i].file + (asOther ? " as the other user" : " as root"));
        const std::string home = asOther ? otherHome : rootHome;
        const std::string pdf = "out" + std::to_string(i) + ".pdf";
        const CommandResult r =
            convertAs(asOther ? other : std::nullopt, home, sources[i], pdf);
        expectConverted(r, home + "/" + pdf);
        EXPECT_TRUE(listing(shared).empty()) << listing(shared).front();
      }
    }
  }
}

// Another user plants symbolic links, and in a second run regular files open to everyone,
// under every working-file name in the shared temporary directory: the conversions succeed,
// and neither the planted entries nor the files they name change.
TEST_F(WorkingFilesAmongUsers, PlantedEntriesAreNeverUsed) {
  const Owner root{0, 0}, nobody{other->uid, other->gid};
  // Either user plants for the other: root plants for nobody, nobody's entries face root, who
  // could write through anything.
  for (const bool rootPlants : {true, false}) {
    for (const bool links : {true, false}) {
      SCOPED_TRACE(std::string(rootPlants ? "root" : "nobody") + " plants " +
                   (links ? "links" : "files"));
      const Owner planter = rootPlants ? root : nobody;
      const std::string tag = std::string(rootPlants ? "r" : "n") + (links ? "l" : "f");
      const std::string targets = tree.mkdir("targets-" + tag);
      fs::permissions(targets, fs::perms::all);
      std::vector<std::string> planted;
      for (const std::string& name : kWorkingNames) {
        const std::string entry = shared + "/" + name;
        if (links) {
          const std::string target = tree.write("targets-" + tag + "/" + name, "target " + name);
          fs::permissions(target, fs::perms::all);
          giveTo(target, planter);
          fs::create_symlink(target, entry);
        } else {
          ASSERT_TRUE(test::writeText(entry, "planted " + name));
          fs::permissions(entry, fs::perms::owner_read | fs::perms::owner_write |
                                     fs::perms::group_read | fs::perms::group_write |
                                     fs::perms::others_read | fs::perms::others_write);
        }
        giveTo(entry, planter);
      }
      const std::vector<std::string> before = listing(shared);
      const std::vector<std::string> targetsBefore = listing(targets);

      const std::string home = homeOf("home-" + tag, rootPlants ? nobody : root);
      for (std::size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(sources[i].file);
        const std::string pdf = "out" + std::to_string(i) + ".pdf";
        expectConverted(convertAs(rootPlants ? other : std::nullopt, home, sources[i], pdf),
                        home + "/" + pdf);
      }
      EXPECT_EQ(listing(shared), before);
      EXPECT_EQ(listing(targets), targetsBefore);
      for (const std::string& name : kWorkingNames) {
        if (links) {
          EXPECT_EQ(test::readText(targets + "/" + name), "target " + name);
        } else {
          EXPECT_EQ(test::readText(shared + "/" + name), "planted " + name);
        }
      }
      for (const std::string& name : kWorkingNames) fs::remove(shared + "/" + name);
    }
  }
}

// The user's own directory (TARNWELL_WORKDIR) is the user's choice: one shared with another
// user who planted links there may make a conversion fail, but nothing is written through them.
TEST_F(WorkingFilesAmongUsers, PlantedLinksInASharedOwnDirectoryAreNeverFollowed) {
  const std::string targets = tree.mkdir("targets");
  for (const std::string& name : kWorkingNames) {
    const std::string target = tree.write("targets/" + name, "target");
    fs::permissions(target, fs::perms::all);
    fs::create_symlink(target, shared + "/" + name);
  }
  const std::string home = homeOf("home", {other->uid, other->gid});
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const CommandResult r = convertAs(other, home, sources[i], "out.pdf",
                                      {"TARNWELL_WORKDIR=" + shared});
    // Success or failure, what counts is below; but the program must have run.
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r.exitCode << " " << r.err;
  }
  for (const std::string& name : kWorkingNames) {
    EXPECT_TRUE(fs::is_symlink(shared + "/" + name)) << name;
    EXPECT_EQ(test::readText(targets + "/" + name), "target") << name;
  }
}

// The private directory's name taken first by another user (a directory open to everyone, a
// closed one, a link to one of theirs): the conversions succeed in a fresh directory made beside
// it, which goes at exit, and nothing is ever written into the planted one.
TEST_F(WorkingFilesAmongUsers, PrivateDirectoryOfAnotherUserIsNeverWrittenInto) {
  const Owner root{0, 0}, nobody{other->uid, other->gid};
  struct Case {
    const char* name;
    bool victimIsRoot;
    bool link;
    fs::perms perms;
  };
  for (const Case& c : {Case{"open directory for root", true, false, fs::perms::all},
                        Case{"closed directory for root", true, false, fs::perms::owner_all},
                        Case{"link for root", true, true, fs::perms::all},
                        Case{"open directory for nobody", false, false, fs::perms::all},
                        Case{"link for nobody", false, true, fs::perms::all}}) {
    SCOPED_TRACE(c.name);
    const Owner victim = c.victimIsRoot ? root : nobody;
    const Owner planter = c.victimIsRoot ? nobody : root;
    const std::string entry = shared + "/" + privateName(victim.uid);
    const std::string bait = tree.mkdir(std::string("bait-") + c.name);
    fs::permissions(bait, c.perms);
    giveTo(bait, planter);
    if (c.link) {
      fs::create_directory_symlink(bait, entry);
      giveTo(entry, planter);
    } else {
      fs::rename(bait, entry);
    }
    // Any entry made in it, even one removed again, changes the directory's modification time.
    const std::string watched = c.link ? bait : entry;
    const timespec untouched = modificationTime(watched);
    const std::string home = homeOf(std::string("home-") + c.name, victim);
    for (std::size_t i = 0; i < sources.size(); ++i) {
      SCOPED_TRACE(sources[i].file);
      const std::string pdf = "out" + std::to_string(i) + ".pdf";
      expectConverted(convertAs(c.victimIsRoot ? std::nullopt : other, home, sources[i], pdf),
                      home + "/" + pdf);
      EXPECT_TRUE(listing(watched).empty());
      const timespec now = modificationTime(watched);
      EXPECT_TRUE(now.tv_sec == untouched.tv_sec && now.tv_nsec == untouched.tv_nsec);
      EXPECT_EQ(listing(shared).size(), 1u);  // only the planted entry: the fresh one is gone
    }
    fs::remove(entry);
  }
}

// No private directory to be had (a temporary directory the user cannot write to): the run ends
// with a message on standard error and converts nothing.
TEST_F(WorkingFilesAmongUsers, NoPrivateDirectoryEndsTheRun) {
  shared = tree.mkdir("closed");  // root's, mode 0755
  const std::string home = homeOf("home", {other->uid, other->gid});
  const CommandResult r = convertAs(other, home, sources[1], "out.pdf");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no private working directory"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(home + "/out.pdf"));
  EXPECT_TRUE(listing(shared).empty());
}

// Nothing remains in the temporary directory nor in the runtime directory after any run: a
// TIFF, a raw fax, one file per page, a source that is no fax, a destination that cannot be
// written, the window road. The logs in the state directory are the user's alone.
TEST(WorkingFilesLeftBehind, NothingRemainsAfterExit) {
  test::TempTree tree;
  const std::string tmp = tree.mkdir("tmp");
  const std::string runtime = tree.mkdir("runtime");
  fs::permissions(runtime, fs::perms::owner_all);
  const std::string state = tree.path("state");
  fs::copy_file(TARNWELL_SOURCE_DIR "/samples/letter.tif", tree.path("letter.tif"));
  fs::copy_file(TARNWELL_SOURCE_DIR "/samples/memo.g3", tree.path("memo.g3"));
  tree.write("nofax.g3", std::string(3000, '\x55'));
  tree.write("blocked", "a file where a directory should be");
  // A copy of the program with no "log" beside it, as when installed: its logs go to the state
  // directory whether or not the build tree has a log directory.
  const std::string program = tree.mkdir("bin") + "/tarnwell";
  fs::copy_file(TARNWELL_PROGRAM, program);
  for (const bool withRuntime : {true, false}) {
    for (const char* args : {"/q /f letter.tif a.pdf", "/q /f memo.g3 b.pdf", "/q /m=1 /f memo.g3 c.pdf",
                             "/q /f nofax.g3 d.pdf", "/q /f memo.g3 blocked/e.pdf", "/q /d . out", ""}) {
      SCOPED_TRACE(std::string(args) + (withRuntime ? " with a runtime directory" : ""));
      test::ProgramRun how;
      how.program = program;
      how.workingDir = tree.path();
      how.tmpDir = tmp;
      how.environment = {"XDG_STATE_HOME=" + state};
      if (withRuntime) how.environment.push_back("XDG_RUNTIME_DIR=" + runtime);
      (void)test::runProgram(how, args);
      EXPECT_TRUE(listing(tmp).empty()) << listing(tmp).front();
      EXPECT_TRUE(listing(runtime).empty()) << listing(runtime).front();
    }
  }
  EXPECT_TRUE(test::readText(tree.path("out/letter.pdf")).starts_with("%PDF-"));
  struct stat st{};
  ASSERT_EQ(::stat((state + "/tarnwell").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  for (const auto& e : fs::directory_iterator(state + "/tarnwell")) {
    ASSERT_EQ(::stat(e.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << e.path();
  }
}

}  // namespace
}  // namespace tarnwell
