// The private runtime folder qmx-host makes when the session has none.
#include "runtime_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

// Restores XDG_RUNTIME_DIR as the test found it.
class SavedVariable {
 public:
  SavedVariable() {
    if (const char* v = getenv("XDG_RUNTIME_DIR")) saved_ = v;
  }
  ~SavedVariable() {
    if (saved_)
      setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }

 private:
  std::optional<std::string> saved_;
};

TEST(PrivateRuntimeDir, MadeOnlyWhenMissingOwnerOnlyAndRemovedAtTheEnd) {
  SavedVariable saved;
  unsetenv("XDG_RUNTIME_DIR");
  std::string made;
  {
    host::PrivateRuntimeDir dir;
    made = dir.Created();
    ASSERT_FALSE(made.empty());
    ASSERT_NE(getenv("XDG_RUNTIME_DIR"), nullptr);
    EXPECT_EQ(std::string(getenv("XDG_RUNTIME_DIR")), made);
    ASSERT_TRUE(fs::is_directory(made));
    EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all);
  }
  EXPECT_FALSE(fs::exists(made));
  EXPECT_EQ(getenv("XDG_RUNTIME_DIR"), nullptr);

  setenv("XDG_RUNTIME_DIR", "/somewhere/else", 1);
  host::PrivateRuntimeDir untouched;
  EXPECT_TRUE(untouched.Created().empty());
  EXPECT_EQ(std::string(getenv("XDG_RUNTIME_DIR")), "/somewhere/else");
}

}  // namespace
