// Saves in folders that other users share, run as root and as others: links
// another user planted are never followed, devices and FIFOs never opened,
// the save path is looked up once, the temporary file is private while it is
// written, and the file keeps its owner, group, mode, ACL and attributes. The
// moments inside a save come from the preloaded shim (fault_injection.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/program_runner.h"
#include "tests/sample_programs.h"
#include "tests/test_support.h"

namespace orvalen::testing {
namespace {

const std::string kOrvalen = ReachableCopy(ORVALEN_PROGRAM);
const std::string kLegacy = ReachableCopy(ORVALEN_LEGACY_PROGRAM);
const std::string kShim = ReachableCopy(ORVALEN_FAULT_SHIM);
const std::string kOpened = "ORVALEN_TRACE_OPENED";
const std::string kFlushed = "ORVALEN_TRACE_FSYNC";

struct Program {
  const char* name;
  std::string path;
};
const Program kBoth[] = {{"Orvalen", kOrvalen}, {"OrvalenLegacy", kLegacy}};

void Must(bool done, const std::string& what) {
  if (!done) throw std::runtime_error("cannot " + what);
}

// What a file is: the bytes and the entry, so that a replacement shows.
struct Snapshot {
  std::string bytes;
  ino_t inode = 0;
  mode_t mode = 0;
  uid_t uid = 0;
  gid_t gid = 0;
  bool operator==(const Snapshot&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Snapshot& s) {
  return out << "inode " << s.inode << " mode " << std::oct << s.mode << std::dec << " owner "
             << s.uid << ":" << s.gid << " bytes \"" << s.bytes << "\"";
}
Snapshot Take(const std::string& path) {
  struct stat entry {};
  Must(lstat(path.c_str(), &entry) == 0, "query " + path);
  return {ReadBytes(path), entry.st_ino, entry.st_mode, entry.st_uid, entry.st_gid};
}

void Own(const std::string& path, uid_t uid, gid_t gid) {
  Must(lchown(path.c_str(), uid, gid) == 0, "give " + path + " away");
}
void Link(const std::string& target, const std::string& link, uid_t owner) {
  Must(symlink(target.c_str(), link.c_str()) == 0, "link " + link);
  Own(link, owner, owner);
}
// A file of root's that nobody else may read, holding a part program.
std::string Secret(const ScratchFolder& vault) {
  chmod(vault.Path().c_str(), 0700);
  const std::string secret = vault / "secret.nc";
  WriteBytes(secret, kProgram);
  chmod(secret.c_str(), 0600);
  return secret;
}

// `kind` on the report's first line, `text` at the end of its message.
void ExpectReport(const RunResult& run, const std::string& kind, const std::string& text) {
  EXPECT_EQ(1, run.exit_status) << run.errors;
  EXPECT_NE(std::string::npos, run.errors.find("Exception " + kind + " ")) << run.errors;
  EXPECT_TRUE(run.errors.ends_with(text + ".\n")) << run.errors;
}

// The kernel's own guard against links in sticky folders, off and then on,
// restored afterwards; without the right to switch it, the setting as it is.
void UnderEitherLinkGuard(const std::function<void()>& body) {
  struct Knob {
    const char* path = "/proc/sys/fs/protected_symlinks";
    const std::string before = ReadBytes(path);
    bool Set(const char* value) {
      FILE* file = std::fopen(path, "w");
      if (file == nullptr) return false;
      const bool written = std::fputs(value, file) >= 0;
      return std::fclose(file) == 0 && written;
    }
    ~Knob() { Set(before.c_str()); }
  } knob;
  if (!knob.Set(knob.before.c_str())) {
    std::printf("[   NOTE   ] %s cannot be written; links checked with it at %s", knob.path,
                knob.before.c_str());
    return body();
  }
  for (const char* value : {"0\n", "1\n"}) {
    SCOPED_TRACE(std::string("fs.protected_symlinks=") + value);
    Must(knob.Set(value), "switch fs.protected_symlinks");
    body();
  }
}

class SharedFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root: runs as other users, gives files away";
  }

  // A run answering yes with the shim loaded and these of its settings.
  RunResult Run(const std::string& program, const std::vector<std::string>& args,
                const std::vector<std::string>& settings = {}, RunOptions options = {}) {
    options.input = "j\n";
    options.environment = {"LD_PRELOAD=" + kShim, "ASAN_OPTIONS=verify_asan_link_order=0"};
    options.environment.insert(options.environment.end(), settings.begin(), settings.end());
    if (options.timeout_seconds == RunOptions{}.timeout_seconds) options.timeout_seconds = 30;
    return RunProgram(program, args, options);
  }

  // A fresh trace file that every user may append to; its name as a setting.
  std::string Trace(const std::string& variable) {
    const std::string trace = tools_ / variable;
    WriteBytes(trace, "");
    chmod(trace.c_str(), 0666);
    return variable + "=" + trace;
  }
  std::string Traced(const std::string& variable) { return ReadBytes(tools_ / variable); }

  // Orvalen in test mode: a copy beside a settings file with test=1.
  std::string TestModeOrvalen() {
    const std::string program = tools_.CopyProgram(kOrvalen);
    WriteBytes(tools_ / "Orvalen.ini", "[common]\ntest=1\n");
    return program;
  }

  ScratchFolder folder_;
  ScratchFolder tools_;  // the programs' copies and the traces
};

// Another user's link at the .tax path, or as the part program, leads
// nowhere; root's links and the runner's own are followed as ever.
TEST_F(SharedFolders, LinksOfAnotherUserAreNeverFollowed) {
  const std::string orvalen = TestModeOrvalen();
  struct Case {
    const char* name;
    const char* target;  // "secret", "null" or "result"
    uid_t link_owner;
    uid_t runner;
  };
  const Case cases[] = {
      {"another user's link to a root-only file", "secret", 65534, 0},
      {"another user's link to /dev/null", "null", 65534, 0},
      {"root's link", "result", 0, 0},
      {"the runner's own link", "result", 65534, 65534},
  };
  UnderEitherLinkGuard([&] {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      ScratchFolder shared, vault, results;
      chmod(shared.Path().c_str(), 01777);
      const std::string job = shared / "job.nc", tax = shared / "job.tax";
      const std::string secret = Secret(vault), result = results / "result.tax";
      WriteBytes(job, kProgram);
      WriteBytes(result, "an older result\r\n");
      Own(result, c.runner, c.runner);
      const std::string target = c.target == std::string("secret") ? secret
                                 : c.target == std::string("null") ? "/dev/null"
                                                                   : result;
      Link(target, tax, c.link_owner);
      const Snapshot secret_before = Take(secret);
      const std::vector<std::string> names = FolderNames(shared.Path());
      RunOptions options;
      if (c.runner != 0) options.user = RunAs{c.runner, c.runner, {}};
      const RunResult run = Run(orvalen, {job}, {Trace(kOpened)}, options);
      EXPECT_EQ(secret_before, Take(secret));
      EXPECT_EQ(kProgram, ReadBytes(job));
      EXPECT_EQ(names, FolderNames(shared.Path()));
      EXPECT_EQ(std::vector<std::string>{"secret.nc"}, FolderNames(vault.Path()));
      EXPECT_EQ(std::string::npos, Traced(kOpened).find("/dev/null")) << Traced(kOpened);
      EXPECT_EQ(std::string::npos, Traced(kOpened).find("w " + secret + "\n"));
      if (c.link_owner == c.runner || c.link_owner == 0) {
        EXPECT_EQ(0, run.exit_status) << run.errors;
        EXPECT_EQ(kRewritten, ReadBytes(result));
      } else {
        ExpectReport(run, "EFCreateError", "Symbolic link owned by another user");
        EXPECT_EQ("an older result\r\n", ReadBytes(result));
      }
    }
    for (const Program& program : kBoth) {
      SCOPED_TRACE(std::string(program.name) + ": the part program is another user's link");
      ScratchFolder shared, vault;
      chmod(shared.Path().c_str(), 01777);
      const std::string secret = Secret(vault), part = shared / "part.nc";
      Link(secret, part, 65534);
      const Snapshot before = Take(secret);
      const RunResult run = Run(program.path, {part}, {Trace(kOpened)});
      ExpectReport(run, "EFOpenError", "Symbolic link owned by another user");
      EXPECT_EQ(before, Take(secret));
      EXPECT_EQ(std::vector<std::string>{"part.nc"}, FolderNames(shared.Path()));
      EXPECT_EQ(std::vector<std::string>{"secret.nc"}, FolderNames(vault.Path()));
      EXPECT_EQ(std::string::npos, Traced(kOpened).find("w " + secret + "\n"));
    }
  });
}

TEST_F(SharedFolders, AnythingButARegularFileAtTheTaxPathIsRefusedUnopened) {
  const std::string orvalen = TestModeOrvalen();
  struct Case {
    const char* name;
    std::function<void(const std::string& tax)> make;
    std::string text;
  };
  const Case cases[] = {
      {"FIFO", [](const std::string& tax) { Must(mkfifo(tax.c_str(), 0666) == 0, "mkfifo"); },
       "Is a named pipe"},
      {"root's link to /dev/null", [](const std::string& tax) { Link("/dev/null", tax, 0); },
       "Is a character device"},
      {"folder", [](const std::string& tax) { Must(mkdir(tax.c_str(), 0777) == 0, "mkdir"); },
       "Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder shared;
    const std::string job = shared / "job.nc", tax = shared / "job.tax";
    WriteBytes(job, kProgram);
    c.make(tax);
    const std::vector<std::string> names = FolderNames(shared.Path());
    const RunResult run = Run(orvalen, {job}, {Trace(kOpened)});
    ExpectReport(run, "EFCreateError", c.text);
    EXPECT_EQ(kProgram, ReadBytes(job));
    EXPECT_EQ(names, FolderNames(shared.Path()));
    EXPECT_EQ(std::string::npos, Traced(kOpened).find("w " + tax + "\n")) << Traced(kOpened);
    EXPECT_EQ(std::string::npos, Traced(kOpened).find("/dev/null")) << Traced(kOpened);
  }
}

// The folder link on the way is turned to another folder while the
// temporary file is flushed: the save ends where it began, or not at all.
TEST_F(SharedFolders, TheSavePathIsLookedUpOnce) {
  for (const Program& program : kBoth) {
    SCOPED_TRACE(program.name);
    ScratchFolder shared, a, b;
    WriteBytes(a / "part.nc", kProgram);
    const std::string secret = Secret(b);
    Must(rename(secret.c_str(), (b / "part.nc").c_str()) == 0, "rename");
    Link(a.Path(), shared / "dir", 0);
    Link(b.Path(), shared / "dir2", 0);
    const Snapshot b_before = Take(b / "part.nc");
    const RunResult run =
        Run(program.path, {shared / "dir/part.nc"},
            {"ORVALEN_FAULT_AT_FSYNC=exchange:" + (shared / "dir") + ":" + (shared / "dir2")});
    EXPECT_EQ(b_before, Take(b / "part.nc"));
    if (run.exit_status == 0) {
      EXPECT_EQ(kRewritten, ReadBytes(a / "part.nc"));
    } else {
      EXPECT_NE(std::string::npos, run.errors.find("Exception EFCreateError ")) << run.errors;
      EXPECT_EQ(kProgram, ReadBytes(a / "part.nc")) << run.errors;
    }
    EXPECT_EQ(std::vector<std::string>{"part.nc"}, FolderNames(a.Path())) << run.errors;
    EXPECT_EQ(std::vector<std::string>{"part.nc"}, FolderNames(b.Path()));
  }
}

std::string Attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t size = getxattr(path.c_str(), name, value, sizeof value);
  return size < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(size));
}
std::string Acl(const std::string& path) {
  std::string text;
  if (FILE* out = popen(("getfacl -p " + path + " 2>&1").c_str(), "r")) {
    for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
    pclose(out);
  }
  return text;
}

// Root saves: while it is written the temporary file is 0600, already the
// owner's (who may write the program anyway) and nobody else's; the program
// then has its old mode, owner, group, ACL and attributes.
TEST_F(SharedFolders, WhoMayReadOrWriteTheProgramStaysAsItWas) {
  struct Case {
    mode_t mode;
    uid_t uid;
    gid_t gid;
    bool acl;  // an entry for user 65533 and two extended attributes
  };
  const Case cases[] = {{0640, 65534, 65533, false}, {0660, 0, 0, true}};
  for (const Program& program : kBoth) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(program.name) + (c.acl ? ": with an ACL" : ": another's file"));
      ScratchFolder shared;
      const std::string part = shared / "part.nc";
      WriteBytes(part, kProgram);
      Own(part, c.uid, c.gid);
      chmod(part.c_str(), c.mode);
      if (c.acl) {
        if (std::system(("setfacl -m u:65533:r " + part).c_str()) != 0)
          GTEST_SKIP() << "setfacl (Debian package acl) missing or no ACLs here";
        Must(setxattr(part.c_str(), "user.orvalen", "1", 1, 0) == 0, "set user.orvalen");
        Must(setxattr(part.c_str(), "trusted.orvalen", "2", 1, 0) == 0, "set trusted.orvalen");
      }
      const std::string acl = Acl(part);
      const RunResult run = Run(program.path, {part}, {Trace(kFlushed)});
      EXPECT_EQ(0, run.exit_status) << run.errors;
      const std::string flushed = Traced(kFlushed);
      EXPECT_EQ("600 " + std::to_string(c.uid) + " " + std::to_string(c.gid),
                flushed.substr(0, flushed.find('\n')))
          << flushed;
      const Snapshot after = Take(part);
      EXPECT_EQ(kRewritten, after.bytes);
      EXPECT_EQ(c.mode, after.mode & 07777);
      EXPECT_EQ(c.uid, after.uid);
      EXPECT_EQ(c.gid, after.gid);
      EXPECT_EQ(acl, Acl(part));
      EXPECT_EQ(c.acl ? "1" : "(none)", Attribute(part, "user.orvalen"));
      EXPECT_EQ(c.acl ? "2" : "(none)", Attribute(part, "trusted.orvalen"));
    }
  }
}

TEST_F(SharedFolders, OwnerAndGroupNeverChange) {
  struct Case {
    const char* name;
    mode_t mode;
    RunAs runner;
    bool same_mode;  // the kernel may drop a set-group-id bit on write
  };
  const Case cases[] = {
      {"a member of the file's group saves another user's file",
       0664,
       {65532, 65532, {65533}},
       true},
      {"the owner, not in the file's group", 0664, {65534, 65534, {}}, true},
      {"a set-group-id file saved by a group member", 02775, {65532, 65532, {65533}}, false},
  };
  for (const Program& program : kBoth) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(program.name) + ": " + c.name);
      ScratchFolder shared;
      const std::string part = shared / "part.nc";
      WriteBytes(part, kProgram);
      Own(part, 65534, 65533);
      chmod(part.c_str(), c.mode);
      RunOptions options;
      options.user = c.runner;
      const RunResult run = Run(program.path, {part}, {}, options);
      EXPECT_EQ(0, run.exit_status) << run.errors;
      const Snapshot after = Take(part);
      EXPECT_EQ(kRewritten, after.bytes);
      EXPECT_EQ(65534u, after.uid);
      EXPECT_EQ(65533u, after.gid);
      if (c.same_mode) {
        EXPECT_EQ(c.mode, after.mode & 07777);
      }
      EXPECT_EQ(std::vector<std::string>{"part.nc"}, FolderNames(shared.Path()));
    }
  }
}

// Moments inside the save: an edit of the program while the temporary file
// is flushed is kept; no room for a temporary file is a failure, never a
// reason to write over the program in place, and neither is a name too long
// for a hidden temporary name built from it; a lock on the first temporary
// file that someone else holds is not waited for.
TEST_F(SharedFolders, TroubleInsideTheSaveLeavesNothingLost) {
  const std::string edit = "N99 M30\r\n", long_name = std::string(247, 'p') + ".nc";
  struct Case {
    std::string setting;  // PART stands for the part program's path
    std::string text;     // the report's; empty for a run that succeeds
    std::string after;
    std::string name = "part.nc";
  };
  const Case cases[] = {
      {"ORVALEN_FAULT_AT_FSYNC=append:PART:" + edit, "Changed since it was read", kProgram + edit},
      {"ORVALEN_FAULT_CREATE_ERRNO=" + std::to_string(ENOSPC), "No space left on device", kProgram},
      {"ORVALEN_FAULT_CREATE_ERRNO=" + std::to_string(EDQUOT), "Disk quota exceeded", kProgram},
      {"ORVALEN_FAULT_FLOCK_HELD=1", "", kRewritten},
      {"", "", kRewritten, long_name},
  };
  for (const Program& program : kBoth) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(program.name) + ": " + c.setting + " on " + c.name.substr(0, 20));
      ScratchFolder shared;
      const std::string part = shared / c.name;
      WriteBytes(part, kProgram);
      const ino_t inode = Take(part).inode;
      std::string setting = c.setting;
      if (const std::size_t at = setting.find("PART"); at != std::string::npos)
        setting.replace(at, 4, part);
      RunOptions options;
      options.timeout_seconds = 20;
      const RunResult run =
          Run(program.path, {part},
              setting.empty() ? std::vector<std::string>{} : std::vector{setting}, options);
      if (c.text.empty()) {
        EXPECT_EQ(0, run.exit_status) << run.errors;
        EXPECT_NE(inode, Take(part).inode) << "written in place";
      } else {
        ExpectReport(run, "EFCreateError", c.text);
        EXPECT_EQ(inode, Take(part).inode) << "replaced";
      }
      EXPECT_EQ(c.after, ReadBytes(part));
      EXPECT_EQ(std::vector<std::string>{c.name}, FolderNames(shared.Path()));
    }
  }
}

TEST_F(SharedFolders, TestModeNeverWritesOverThePartProgram) {
  const std::string orvalen = TestModeOrvalen();
  struct Case {
    const char* name;
    const char* program;  // the argument; "job.tax" is made by `make`
    std::function<void(const ScratchFolder& folder)> make;
  };
  const Case cases[] = {
      {"a part program named .tax", "part.tax", [](const ScratchFolder&) {}},
      {"root's link to the program", "job.nc",
       [](const ScratchFolder& folder) { Link("job.nc", folder / "job.tax", 0); }},
      {"a hard link to the program", "job.nc",
       [](const ScratchFolder& folder) {
         Must(link((folder / "job.nc").c_str(), (folder / "job.tax").c_str()) == 0, "link");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder shared;
    const std::string part = shared / c.program;
    WriteBytes(part, kProgram);
    c.make(shared);
    const std::vector<std::string> names = FolderNames(shared.Path());
    const RunResult run = Run(orvalen, {part});
    ExpectReport(run, "EFCreateError", "Is the part program itself");
    EXPECT_EQ(kProgram, ReadBytes(part));
    EXPECT_EQ(names, FolderNames(shared.Path()));
  }
}

// A .tax that another user made beforehand, open to all and hard-linked to a
// file of root's: the result replaces the name only, as a new file of the
// user who runs the program, no more open than the program itself.
TEST_F(SharedFolders, ATaxFileMadeByAnotherUserIsReplacedNotWrittenThrough) {
  const std::string orvalen = TestModeOrvalen();
  ScratchFolder shared;
  const std::string part = shared / "job.nc", tax = shared / "job.tax";
  WriteBytes(part, kProgram);
  chmod(part.c_str(), 0640);
  WriteBytes(tax, "planted");
  Own(tax, 65534, 65534);
  chmod(tax.c_str(), 0666);
  const std::string other = shared / "roots.nc";
  Must(link(tax.c_str(), other.c_str()) == 0, "link");
  const RunResult run = Run(orvalen, {part});
  EXPECT_EQ(0, run.exit_status) << run.errors;
  const Snapshot result = Take(tax);
  EXPECT_EQ(kRewritten, result.bytes);
  EXPECT_EQ(0u, result.uid);
  EXPECT_EQ(0640 & ~022, result.mode & 07777);
  EXPECT_EQ("planted", ReadBytes(other));
}

TEST_F(SharedFolders, ADeviceIsRefusedWithoutBeingOpened) {
  Link("/dev/null", folder_ / "dev.nc", 0);
  for (const Program& program : kBoth) {
    for (const std::string& path : {std::string("/dev/null"), folder_ / "dev.nc"}) {
      SCOPED_TRACE(std::string(program.name) + ": " + path);
      const RunResult run = Run(program.path, {path}, {Trace(kOpened)});
      ExpectReport(run, "EFOpenError", "Is a character device");
      EXPECT_EQ(std::string::npos, Traced(kOpened).find("/dev/null")) << Traced(kOpened);
    }
  }
}

}  // namespace
}  // namespace orvalen::testing
