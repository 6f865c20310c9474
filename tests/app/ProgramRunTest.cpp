// Runs the built program as a process on temporary trees. Each test copies the program into
// its own directory with a "log" subdirectory beside it and gives it its own TMPDIR, so the
// working files and logs of one test are its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "platform/Platform.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

using RunResult = test::CommandResult;

// "Wed Jan 07 15:30:12 2009" followed by CR LF: letters, digits and separators in place.
bool startsWithDateLine(const std::string& text) {
  const std::string shape = "Aaa Aaa 00 00:00:00 0000\r\n";
  if (text.size() < shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const char c = text[i];
    const bool fits = shape[i] == 'A'   ? (c >= 'A' && c <= 'Z')
                      : shape[i] == 'a' ? (c >= 'a' && c <= 'z')
                      : shape[i] == '0' ? (c >= '0' && c <= '9')
                                        : c == shape[i];
    if (!fits) return false;
  }
  return true;
}

// Fourteen digits and ".log".
bool isTimeStampedName(const std::string& name) {
  if (name.size() != 18 || !name.ends_with(".log")) return false;
  for (std::size_t i = 0; i < 14; ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

class ProgramRun : public testing::Test {
 protected:
  void SetUp() override {
    bin = tree.mkdir("bin");
    tmp = tree.mkdir("tmp");
    tree.mkdir("bin/log");
    fs::copy_file(TARNWELL_PROGRAM, bin + "/tarnwell");
  }

  // Runs the program copy with the argument text (split at blanks by the shell) in cwd.
  RunResult run(const std::string& args, const std::string& cwd = "") {
    return test::runProgram({bin + "/tarnwell", cwd.empty() ? tree.path() : cwd, tmp, environment},
                            args);
  }

  std::vector<std::string> logFiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(bin + "/log")) names.push_back(e.path().filename());
    return names;
  }

  test::TempTree tree;
  std::string bin, tmp;
  std::vector<std::string> environment;  // further NAME=value settings of the runs
};

TEST_F(ProgramRun, SingleFileWritesLogEntryAndNothingElseWhenQuiet) {
  const std::string src = tree.write("in/x.g3", "");
  const std::string dst = tree.path("out/x.pdf");
  RunResult r = run("/q /f " + src + " " + dst);
  EXPECT_EQ(r.exitCode, 1);  // the file failed
  EXPECT_EQ(r.out, "");
  const std::string log = test::readText(bin + "/log/fileconv.log");
  EXPECT_TRUE(startsWithDateLine(log)) << log;
  const std::string rule = "\r\r\n--------------------------\r\r\n";
  EXPECT_TRUE(log.ends_with(rule + "\r\r\n\r\r\n" + src + " --> " + dst + " : Failed : " + src +
                            " - Not Fax\r\r\n" + rule))
      << log;
  EXPECT_TRUE(fs::is_directory(tree.path("out")));
  EXPECT_FALSE(fs::exists(dst));

  // A second run adds a second entry.
  run("/q /f " + src + " " + dst);
  const std::string twice = test::readText(bin + "/log/fileconv.log");
  EXPECT_EQ(twice.size(), 2 * log.size());
}

TEST_F(ProgramRun, ReportGoesToStandardOutputWithoutDisplay) {
  const std::string src = tree.write("in/x.tif", "");
  const std::string dst = tree.path("x.pdf");
  RunResult r = run("/F " + src + " " + dst);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "\r\n\r\n" + src + " --> " + dst + " : Failed : " + src +
                       " - Error in prearing to pdf conversion\r\n");
}

TEST_F(ProgramRun, RelativePathsResolveAgainstTheStartingDirectory) {
  tree.write("in/a.g3", "");
  RunResult r = run("/f in/a.g3 out/deep/a.pdf");
  EXPECT_EQ(r.out, "\r\n\r\nin/a.g3 --> out/deep/a.pdf : Failed : in/a.g3 - Not Fax\r\n");
  EXPECT_TRUE(fs::is_directory(tree.path("out/deep")));
}

TEST_F(ProgramRun, DestinationUnderAFileIsReported) {
  tree.write("in/a.g3", "");
  tree.write("blocker", "keep");
  RunResult r = run("/f in/a.g3 blocker/a.pdf");
  EXPECT_EQ(r.out, "\r\n\r\nin/a.g3 --> blocker/a.pdf : Failed to create save dir : blocker\r\n");
  EXPECT_EQ(test::readText(tree.path("blocker")), "keep");
}

class DirectoryRun : public ProgramRun {
 protected:
  void SetUp() override {
    ProgramRun::SetUp();
    tree.write("src/a.g3", "");
    tree.write("src/my fax.g3", "");  // a blank inside a listed name
    tree.write("src/f\xC3\xA4x.fax", "");
    tree.write("src/report.pdf", "%PDF");
    tree.write("src/notes.txt", "");
    tree.write("src/sub/b.fax", "");
    tree.write("src/bin/c.g3", "");
  }
  std::string line(const std::string& source, const std::string& destination) {
    return source + " --> " + destination + " : Failed : " + source + " - Not Fax\r\n";
  }
};

TEST_F(DirectoryRun, FlatRunReportsEveryListedFile) {
  RunResult r = run("/d src out");
  EXPECT_EQ(r.exitCode, 1);
  ASSERT_TRUE(r.out.starts_with("Please Wait...\n"));
  const std::string report = r.out.substr(15);
  EXPECT_TRUE(report.starts_with("Source Dir: src\r\nDestination Dir: out\r\n\r\n"));
  EXPECT_NE(report.find(line("src/a.g3", "out/a.pdf")), std::string::npos);
  EXPECT_NE(report.find(line("src/my fax.g3", "out/my fax.pdf")), std::string::npos);
  EXPECT_NE(report.find(line("src/f\xC3\xA4x.fax", "out/f\xC3\xA4x.pdf")), std::string::npos);
  EXPECT_NE(report.find("src/report.pdf : already PDF format, need no converting!\n"),
            std::string::npos);
  EXPECT_EQ(report.find("notes.txt"), std::string::npos);
  EXPECT_EQ(report.find("sub/b.fax"), std::string::npos);  // no /i
  EXPECT_TRUE(report.ends_with("\r\n---------\r\nTotal converted FAX files: 0\r\n"));

  const auto logs = logFiles();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_TRUE(isTimeStampedName(logs[0])) << logs[0];
  EXPECT_NE(test::readText(bin + "/log/" + logs[0]).find("Total converted FAX files: 0\r\r\n"),
            std::string::npos);
}

TEST_F(DirectoryRun, SubdirectoriesFilterHierarchyAndExtension) {
  RunResult r = run("/d /i /kh /ke src out *.fax");
  // The filter applies to directory names too, so no subdirectory is walked.
  EXPECT_NE(r.out.find(line("src/f\xC3\xA4x.fax", "out/f\xC3\xA4x.fax.pdf")), std::string::npos);
  EXPECT_EQ(r.out.find("a.g3"), std::string::npos);
  EXPECT_EQ(r.out.find("b.fax"), std::string::npos);

  r = run("/d /i /kh src out");
  EXPECT_NE(r.out.find(line("src/sub/b.fax", "out/sub/b.pdf")), std::string::npos);
  EXPECT_NE(r.out.find(line("src/bin/c.g3", "out/bin/c.pdf")), std::string::npos);
  EXPECT_TRUE(fs::is_directory(tree.path("out/sub")));
  EXPECT_TRUE(fs::is_directory(tree.path("out/bin")));

  r = run("/d /i src flat");
  EXPECT_NE(r.out.find(line("src/sub/b.fax", "flat/b.pdf")), std::string::npos);
  EXPECT_FALSE(fs::exists(tree.path("flat/sub")));
}

TEST_F(DirectoryRun, DestinationThatIsAFileFailsEachFile) {
  tree.write("out", "not a directory");
  RunResult r = run("/q /d src out");
  EXPECT_EQ(r.out, "Please Wait...\n");
  const auto log = test::readText(bin + "/log/" + logFiles().at(0));
  EXPECT_NE(log.find("src/a.g3 --> out/a.pdf : Failed to create save dir : out\r\r\n"),
            std::string::npos);
  EXPECT_EQ(test::readText(tree.path("out")), "not a directory");
}

TEST_F(ProgramRun, IncompleteRequestTakesTheWindowRoad) {
  RunResult none = run("");
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_NE(none.err.find("window cannot be created"), std::string::npos);

  RunResult partial = run("/f only-one");
  EXPECT_EQ(partial.exitCode, 2);
  EXPECT_TRUE(partial.out.starts_with("Usage: tarnwell"));
  EXPECT_TRUE(logFiles().empty());
}

TEST_F(ProgramRun, OptionAfterThePathsIsTheFilter) {
  tree.write("in/a.g3", "");
  // "/q" after the paths is no option: the report is still printed, and in directory mode it
  // is the filter, which lists nothing here.
  RunResult single = run("/f in/a.g3 a.pdf /q");
  EXPECT_NE(single.out.find("in/a.g3 --> a.pdf : Failed : in/a.g3 - Not Fax\r\n"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(bin + "/log/fileconv.log"));
  RunResult dir = run("/d in out /q");
  EXPECT_TRUE(dir.out.ends_with("Destination Dir: out\r\n\r\n\r\n---------\r\n"
                                "Total converted FAX files: 0\r\n"));
}

TEST_F(ProgramRun, NoLogDirectoryAndNoHomeMeansNoLog) {
  fs::remove(bin + "/log");
  environment = {"HOME=", "XDG_STATE_HOME="};  // empty: as good as unset
  fs::copy(TARNWELL_SOURCE_DIR "/samples/memo.g3", tree.path("a.g3"));
  RunResult r = run("/q /f a.g3 a.pdf");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(fs::exists(tree.path("a.pdf")));
  EXPECT_FALSE(fs::exists(bin + "/log"));
  EXPECT_FALSE(fs::exists(tree.path("tmp/state")));
}

// Working files an interrupted earlier run left in the private directory are replaced and
// removed; after every road nothing remains in the temporary directory, the private directory
// included.
TEST_F(ProgramRun, NothingRemainsOfTheWorkingFiles) {
  const std::string own = tmp + "/tarnwell-" + std::to_string(platform::userId());
  const char* names[] = {"trwtmp.tmp", "trwseg.tmp", "trwlock.tmp", "trwtif.tmp", "trwtif.tmp.tiff",
                         "trwintif.tmp", "trwintif1001.tif", "trwcptif.tmp"};
  auto plant = [&] {
    fs::create_directory(own);
    fs::permissions(own, fs::perms::owner_all);
    for (const char* name : names) tree.write("tmp/" + fs::path(own).filename().string() + "/" + name, "old");
  };
  fs::copy(TARNWELL_SOURCE_DIR "/samples/memo.g3", tree.path("a.g3"));
  fs::copy(TARNWELL_SOURCE_DIR "/samples/letter.tif", tree.path("b.tif"));
  for (const char* args : {"/q /f a.g3 a.pdf", "/q /f b.tif b.pdf", "/q /m=1 /f a.g3 c.pdf",
                           "/q /f missing.g3 d.pdf", "/q /j=3 /d . j", ""}) {
    SCOPED_TRACE(args);
    plant();
    run(args);
    EXPECT_TRUE(fs::is_empty(tmp)) << fs::directory_iterator(tmp)->path();
  }
  EXPECT_TRUE(test::readText(tree.path("a.pdf")).starts_with("%PDF-"));
  EXPECT_TRUE(test::readText(tree.path("b.pdf")).starts_with("%PDF-"));
}

// The bundled samples go through the whole pipeline into PDFs.
TEST_F(ProgramRun, SamplesBecomePdfs) {
  const std::string samples = TARNWELL_SOURCE_DIR "/samples";
  fs::copy(samples, tree.path("in"));
  ASSERT_TRUE(platform::setFileTimes(tree.path("in/memo.g3"),
                                     platform::FileTimes{{1000000000, 5}, {1100000000, 7}}));
  RunResult r = run("/l /d in out");
  EXPECT_NE(r.out.find("in/letter.tif --> out/letter.pdf : Success !\r\n"), std::string::npos);
  EXPECT_NE(r.out.find("in/memo.g3 --> out/memo.pdf : Success !\r\n"), std::string::npos);
  EXPECT_TRUE(r.out.ends_with("Total converted FAX files: 2\r\n")) << r.out;
  for (const char* pdf : {"out/letter.pdf", "out/memo.pdf"})
    EXPECT_TRUE(test::readText(tree.path(pdf)).starts_with("%PDF-")) << pdf;
  platform::FileTimes pdfTimes;
  ASSERT_TRUE(platform::getFileTimes(tree.path("out/memo.pdf"), pdfTimes));  // "/l"
  EXPECT_EQ(pdfTimes.modification.tv_sec, 1100000000);
  EXPECT_EQ(pdfTimes.modification.tv_nsec, 7);
  if (test::haveTool("qpdf")) {
    for (const char* pdf : {"out/letter.pdf", "out/memo.pdf"}) EXPECT_TRUE(test::qpdfCheck(tree.path(pdf)));
  }
}

// A PDF with its creation and modification times and the identifier made from them blanked.
std::string withoutDates(const std::string& pdf) {
  static const std::regex dated("\\(D:[0-9]{14}\\)|/ID\\[<[0-9A-F]*><[0-9A-F]*>\\]");
  return std::regex_replace(pdf, dated, "");
}

// Two processes, each with its own TARNWELL_WORKDIR, convert at the same time while the lock of
// the user's private directory is held: neither waits for it, each keeps its working files in
// its own directory and removes them, and every PDF is byte for byte what a lone run writes.
TEST_F(ProgramRun, OwnWorkDirectoriesConvertSideBySide) {
  const std::string samples = TARNWELL_SOURCE_DIR "/samples";
  for (const char* job : {"in1", "in2"}) {
    tree.mkdir(job);
    for (int i = 0; i < 6; ++i) {
      fs::copy_file(samples + "/letter.tif", tree.path(job) + "/letter" + std::to_string(i) + ".tif");
      fs::copy_file(samples + "/memo.g3", tree.path(job) + "/memo" + std::to_string(i) + ".g3");
    }
  }
  ASSERT_EQ(run("/q /d in1 lone").exitCode, 0);

  const std::string w1 = tree.mkdir("w1"), w2 = tree.mkdir("w2");
  const std::string own = tmp + "/tarnwell-" + std::to_string(platform::userId());
  ASSERT_TRUE(platform::preparePrivateDirectory(own));
  platform::FileLock shared(own + "/trwlock.tmp", false);
  ASSERT_TRUE(shared.locked());
  auto job = [&](const std::string& work, const std::string& in, const std::string& out) {
    return "TARNWELL_WORKDIR='" + work + "' TMPDIR='" + tmp + "' timeout 120 '" + bin +
           "/tarnwell' /q /d " + in + " " + out + " >/dev/null 2>&1";
  };
  const std::string cmd = "cd '" + tree.path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM sh -c \"" +
                          job(w1, "in1", "out1") + " & p1=\\$!; " + job(w2, "in2", "out2") +
                          " & p2=\\$!; wait \\$p1; r1=\\$?; wait \\$p2; r2=\\$?; exit \\$((r1 + r2))\"";
  EXPECT_EQ(std::system(cmd.c_str()), 0);

  for (const char* work : {"w1", "w2"}) EXPECT_TRUE(fs::is_empty(tree.path(work))) << work;
  for (const char* out : {"out1", "out2"}) {
    for (const auto& e : fs::directory_iterator(tree.path("lone"))) {
      const std::string name = e.path().filename();
      EXPECT_TRUE(withoutDates(test::readText(tree.path(out) + "/" + name)) ==
                  withoutDates(test::readText(e.path().string())))
          << out << "/" << name;
    }
  }
}

// A PDF with its creation and modification times blanked; its identifier stays.
std::string withoutTimes(const std::string& pdf) {
  static const std::regex dated("\\(D:[0-9]{14}\\)");
  return std::regex_replace(pdf, dated, "");
}

// A directory run over good faxes, files that are no fax, files that fail and two files writing
// the same PDF gives the same report, log, exit status and PDFs whatever the number of workers.
TEST_F(ProgramRun, WorkerCountsGiveTheSameRun) {
  const std::string samples = TARNWELL_SOURCE_DIR "/samples";
  tree.mkdir("in/sub");
  for (int i = 0; i < 5; ++i) {
    fs::copy_file(samples + "/letter.tif", tree.path("in/letter" + std::to_string(i) + ".tif"));
    fs::copy_file(samples + "/memo.g3", tree.path("in/memo" + std::to_string(i) + ".g3"));
  }
  fs::copy_file(samples + "/memo.g3", tree.path("in/sub/letter2.g3"));  // same PDF as letter2.tif
  tree.write("in/sub/memo3.tif", "II*\0 not a TIFF");                    // fails, same PDF too
  tree.write("in/empty.g3", "");
  tree.write("in/old.pdf", "%PDF");
  tree.write("in/notes.txt", "");
  const std::string letter = test::readText(samples + "/letter.tif");
  tree.write("in/cut.tif", letter.substr(0, letter.size() / 2));

  struct Run {
    int exitCode;
    std::string report, log;
  };
  std::vector<Run> runs;
  const std::vector<std::string> options = {"/j=1", "/j=2", "/j=0", "--jobs=5"};
  for (const std::string& option : options) {
    RunResult r = run("/i " + option + " /d in out");
    const auto logs = logFiles();
    ASSERT_EQ(logs.size(), 1u);
    std::string log = test::readText(bin + "/log/" + logs[0]);
    fs::remove(bin + "/log/" + logs[0]);
    ASSERT_TRUE(startsWithDateLine(log)) << log;
    fs::rename(tree.path("out"), tree.path("run" + std::to_string(runs.size())));
    runs.push_back({r.exitCode, r.out, log.substr(log.find('\n'))});
  }
  EXPECT_EQ(runs[0].exitCode, 1);
  EXPECT_NE(runs[0].report.find("in/letter2.tif --> out/letter2.pdf : Success !"),
            std::string::npos);
  EXPECT_NE(runs[0].report.find("in/sub/memo3.tif --> out/memo3.pdf : Failed"), std::string::npos);
  EXPECT_NE(runs[0].report.find("in/empty.g3 --> out/empty.pdf : Failed"), std::string::npos);
  for (std::size_t i = 1; i < runs.size(); ++i) {
    SCOPED_TRACE(options[i]);
    EXPECT_EQ(runs[i].exitCode, runs[0].exitCode);
    EXPECT_EQ(runs[i].report, runs[0].report);
    EXPECT_EQ(runs[i].log, runs[0].log);
  }
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(tree.path("run0"))) names.push_back(e.path().filename());
  EXPECT_GE(names.size(), 10u);
  for (const std::string& name : names) {
    const std::string first = tree.path("run0/" + name);
    if (test::haveTool("qpdf")) {
      EXPECT_EQ(test::pdfProblems(first), "") << name;
    }
    for (std::size_t i = 1; i < options.size(); ++i)
      EXPECT_TRUE(withoutTimes(test::readText(tree.path("run" + std::to_string(i) + "/" + name))) ==
                  withoutTimes(test::readText(first)))
          << options[i] << " " << name;
  }
}

TEST_F(ProgramRun, SourceFilesAreNeverTouched) {
  const std::string bytes("II*\0garbage", 11);
  const std::string src = tree.write("src/a.tif", bytes);
  tree.write("src/b.g3", "\xff\xff\xff");
  const auto before = fs::last_write_time(src);
  run("/q /d /i src src");  // destination inside the source tree
  run("/q /f src/a.tif src/a.tif");
  EXPECT_EQ(test::readText(src), bytes);
  EXPECT_EQ(fs::last_write_time(src), before);
}

}  // namespace
}  // namespace tarnwell
