#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "support/TempTree.h"

namespace tarnwell::platform {
namespace {

// Sets or unsets an environment variable for the object's life.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct StateCase {
  const char* name;
  std::optional<std::string> stateHome;
  std::optional<std::string> home;
  std::string expected;
};

class UserStateDirectory : public testing::TestWithParam<StateCase> {};

TEST_P(UserStateDirectory, FollowsXdgRules) {
  const StateCase& c = GetParam();
  ScopedEnv state("XDG_STATE_HOME", c.stateHome);
  ScopedEnv home("HOME", c.home);
  EXPECT_EQ(userStateDirectory(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UserStateDirectory,
    testing::Values(
        StateCase{"StateHomeWins", "/srv/state", "/home/u", "/srv/state"},
        StateCase{"StateHomeTrailingSeparatorsDropped", "/srv/state//", "/home/u", "/srv/state"},
        StateCase{"UnsetStateHomeFallsBackToHome", std::nullopt, "/home/u",
                  "/home/u/.local/state"},
        StateCase{"EmptyStateHomeFallsBackToHome", "", "/home/u/", "/home/u/.local/state"},
        StateCase{"RelativeStateHomeIsIgnored", "state", "/home/u", "/home/u/.local/state"},
        StateCase{"RootHome", std::nullopt, "/", "/.local/state"},
        StateCase{"NoHomeNoState", std::nullopt, std::nullopt, ""},
        StateCase{"RelativeHomeIsIgnored", std::nullopt, "home", ""}),
    [](const testing::TestParamInfo<StateCase>& info) { return std::string(info.param.name); });

TEST(CreateDirectories, MakesMissingLevelsPrivateAndKeepsExistingOnes) {
  test::TempTree tree;
  const std::string existing = tree.mkdir("a");
  ::chmod(existing.c_str(), 0755);
  const std::string deep = tree.path("a/b/c/tarnwell/");
  ASSERT_TRUE(createDirectories(deep));
  EXPECT_TRUE(isDirectory(tree.path("a/b/c/tarnwell")));
  struct stat st{};
  ASSERT_EQ(::stat(tree.path("a/b").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(existing.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  EXPECT_TRUE(createDirectories(deep));  // again: already there

  tree.write("file", "x");
  EXPECT_FALSE(createDirectories(tree.path("file")));
  EXPECT_FALSE(createDirectories(tree.path("file/sub")));
  EXPECT_FALSE(createDirectories(""));
}

}  // namespace
}  // namespace tarnwell::platform

namespace tarnwell::platform {
namespace {

// The runtime directory counts only as an absolute path naming a directory.
TEST(RuntimeDirectory, OnlyAnExistingAbsoluteDirectory) {
  test::TempTree tree;
  const std::string dir = tree.mkdir("run");
  struct Case {
    std::optional<std::string> value;
    std::string expected;
  };
  for (const Case& c : {Case{std::nullopt, ""}, Case{"", ""}, Case{"run", ""},
                        Case{tree.path("missing"), ""}, Case{tree.write("file", "x"), ""},
                        Case{dir, dir + "/"}, Case{dir + "//", dir + "/"}}) {
    SCOPED_TRACE(c.value.value_or("(unset)"));
    ScopedEnv runtime("XDG_RUNTIME_DIR", c.value);
    EXPECT_EQ(runtimeDirectory(), c.expected);
  }
}

}  // namespace
}  // namespace tarnwell::platform
