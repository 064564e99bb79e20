// Runs both programs over generated part programs the way a user does
// (`env -u DISPLAY Orvalen FILE </dev/null`: no display, the question closed
// unanswered, which lets the run go on) and compares them, in the same
// rounds and taking turns with them, with three anchors: `cp`, `cp` followed
// by an fsync of the copy (`sync FILE`), and the durable replacement that the
// programs' save is: `cp` to a new name, fsync of the copy, and `mv` over an
// existing file of the same size (the rename frees the old file's blocks,
// which a copy to a new name does not). A mawk one-liner that shifts every
// X and Y runs beside them. Two programs of the given size are generated, in
// Windows-1252, UTF-8 with mark and UTF-16 LE:
//   full rewrite  every line inside one of 40 subroutines, so every line is
//                 shifted in X and Y; the main part only calls them
//   untouched     one large main part and one small subroutine
// Every figure is the median of ROUNDS runs (3 by default), the time on the
// clock and (cpu s) the user and system time of the child; each run starts
// from the freshly copied and flushed file and is followed by a sync, so that
// no run writes back the pages of another. The peak memory is the child's
// maximum resident set from wait4, in MiB; this process stays small (it
// streams the files it generates), so its own image does not count in it.
// mawk and OrvalenLegacy run on the Windows-1252 file only (the bytes are
// the text for both), and the mawk figure of a case is the anchor for all
// three encodings of it. Usage:
//   whole_program_bench [--megabytes N] [--rounds N] [--folder DIR]
//                       [--full-rewrite | --untouched]
//                       [--orvalen PATH] [--legacy PATH]
//                       [--other-orvalen PATH] [--other-legacy PATH]
//   whole_program_bench --linearity [--sizes 1,10,100,1000,3222] [...]
//   whole_program_bench --generate FILE [--untouched] [--utf8 | --utf16] [--megabytes N]
// --megabytes takes any size (3222 is a little over 3 GiB); --linearity
// times the full rewrite of the Windows-1252 program by both programs at
// each size, against the durable replacement of the same file; --generate
// only writes one program (to profile a run by hand); the --other- programs
// (another build, say the one before a change) run in the same rounds, one
// after the other, so that both see the same machine. Every run of a program
// on a file must write the same bytes as its first, and the other build the
// same as this one; the benchmark stops otherwise.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifndef ORVALEN_PROGRAM
#define ORVALEN_PROGRAM "Orvalen"
#endif
#ifndef ORVALEN_LEGACY_PROGRAM
#define ORVALEN_LEGACY_PROGRAM "OrvalenLegacy"
#endif

extern "C" char** environ;

namespace {

// Shifts the first X and Y word of every line and prints them with three
// decimals, as a quick script would.
constexpr char kMawkScript[] =
    "{for(i=1;i<=NF;i++){c=substr($i,1,1);"
    "if(c==\"X\")$i=sprintf(\"X%.3f\",substr($i,2)-12.5);"
    "else if(c==\"Y\")$i=sprintf(\"Y%.3f\",substr($i,2)+7.25)}print}";

enum class Encoding { kWindows1252, kUtf8, kUtf16Le };
enum class Case { kFullRewrite, kUntouched };

const char* NameOf(Encoding e) {
  switch (e) {
    case Encoding::kWindows1252:
      return "Windows-1252";
    case Encoding::kUtf8:
      return "UTF-8 with mark";
    case Encoding::kUtf16Le:
      return "UTF-16 LE";
  }
  return "";
}

const char* NameOf(Case c) {
  return c == Case::kFullRewrite ? "full rewrite" : "untouched";
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "whole_program_bench: %s\n", what.c_str());
  std::exit(1);
}

// Writes Windows-1252 text (ASCII and Latin-1 letters only) to a file in one
// of the encodings, a piece at a time.
class EncodedFile {
 public:
  EncodedFile(const std::string& path, Encoding encoding) : encoding_(encoding) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) Fail("cannot create " + path);
    if (encoding == Encoding::kUtf8) Put("\xEF\xBB\xBF");
    if (encoding == Encoding::kUtf16Le) Put("\xFF\xFE");
  }
  ~EncodedFile() {
    Flush();
    fflush(file_);
    fsync(fileno(file_));
    std::fclose(file_);
  }
  void Add(const char* text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      const auto b = static_cast<unsigned char>(text[i]);
      switch (encoding_) {
        case Encoding::kWindows1252:
          out_ += static_cast<char>(b);
          break;
        case Encoding::kUtf8:
          if (b < 0x80) {
            out_ += static_cast<char>(b);
          } else {
            out_ += static_cast<char>(0xC0 | (b >> 6));
            out_ += static_cast<char>(0x80 | (b & 0x3F));
          }
          break;
        case Encoding::kUtf16Le:
          out_ += static_cast<char>(b);
          out_ += '\0';
          break;
      }
    }
    source_bytes_ += size;
    if (out_.size() >= (1u << 20)) Flush();
  }
  std::uint64_t SourceBytes() const { return source_bytes_; }

 private:
  void Put(const char* bytes) { out_ += bytes; }
  void Flush() {
    if (!out_.empty() && std::fwrite(out_.data(), 1, out_.size(), file_) != out_.size())
      Fail("cannot write the program");
    out_.clear();
  }
  std::FILE* file_;
  Encoding encoding_;
  std::string out_;
  std::uint64_t source_bytes_ = 0;
};

class Random {
 public:
  unsigned Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<unsigned>(state_ >> 16);
  }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

// Writes the generated program of about `bytes` Windows-1252 bytes.
void Generate(const std::string& path, Case kind, Encoding encoding, std::uint64_t bytes) {
  EncodedFile out(path, encoding);
  Random random;
  char line[200];
  int n = 10;
  auto add = [&](const char* format, auto... args) {
    const int len = std::snprintf(line, sizeof line, format, n, args...);
    out.Add(line, static_cast<std::size_t>(len));
    n += 10;
  };
  auto coordinate = [&] { return static_cast<int>(random.Next() % 2000) - 1000; };
  auto decimals = [&] { return random.Next() % 1000; };
  // A cutting move, now and then with a comment that is not ASCII.
  auto motion = [&] {
    const unsigned kind = random.Next() % 16;
    if (kind == 0) {
      add("N%d G0 X%d.%03u Y%d.%03u Z5.\r\n", coordinate(), decimals(), coordinate(), decimals());
    } else if (kind == 1) {
      add("N%d G1 X%d.%03u Y%d.%03u F%u (Fr\xE4sen Au\xDF"
          "enkontur)\r\n",
          coordinate(), decimals(), coordinate(), decimals(), 500 + random.Next() % 3000);
    } else {
      add("N%d G1 X%d.%03u Y%d.%03u F%u\r\n", coordinate(), decimals(), coordinate(), decimals(),
          500 + random.Next() % 3000);
    }
  };
  if (kind == Case::kFullRewrite) {
    constexpr int kSubroutines = 40;
    for (int k = 1; k <= kSubroutines; ++k) {
      add("N%d G0 X%d.%03u Y%d.%03u\r\n", coordinate(), decimals(), coordinate(), decimals());
      add("N%d M3\r\n");
      add("N%d SUBCALL P%d\r\n", k);
    }
    add("N%d M30\r\n");
    const std::uint64_t share = bytes / kSubroutines;
    for (int k = 1; k <= kSubroutines; ++k) {
      const std::uint64_t end = std::min(bytes, out.SourceBytes() + share);
      std::snprintf(line, sizeof line, "SUBBEGIN P%d\r\n", k);
      out.Add(line, std::strlen(line));
      add("N%d G0 X%d.%03u Y%d.%03u Z5.\r\n", coordinate(), decimals(), coordinate(), decimals());
      while (out.SourceBytes() < end) motion();
      out.Add("SUBEND\r\n", 8);
    }
  } else {
    add("N%d G0 X0 Y0\r\n");
    add("N%d M3\r\n");
    add("N%d SUBCALL P1\r\n");
    while (out.SourceBytes() < bytes) motion();
    add("N%d M30\r\n");
    out.Add("SUBBEGIN P1\r\n", 13);
    add("N%d G0 X5 Y5\r\n");
    for (int i = 0; i < 8; ++i) motion();
    out.Add("SUBEND\r\n", 8);
  }
}

struct Run {
  double seconds;
  double cpu_seconds;  // user and system time of the child
  long peak_kib;
};

// Runs the program with stdin from /dev/null, stdout to `out` (or nowhere)
// and stderr to `log`, without DISPLAY; exits when it fails.
std::string log;

Run Spawn(std::vector<std::string> args, const std::string& out = "/dev/null") {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<char*> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.push_back(*e);
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) Fail("cannot start " + args[0]);
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) Fail("wait4 failed");
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail(args[0] + " failed; see " + log);
  const auto cpu = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return {std::chrono::duration<double>(end - start).count(),
          cpu(usage.ru_utime) + cpu(usage.ru_stime), usage.ru_maxrss};
}

// A fresh working copy of the pristine file, flushed so that writing it back
// does not fall into the next measurement.
void FreshCopy(const std::string& from, const std::string& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
  const int fd = open(to.c_str(), O_RDONLY);
  if (fd < 0 || fsync(fd) != 0) Fail("cannot flush " + to);
  close(fd);
}

std::uint64_t SizeOf(const std::string& path) {
  return static_cast<std::uint64_t>(std::filesystem::file_size(path));
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) Fail("cannot stat " + path);
  return st.st_ino;
}

// A digest of the file's bytes, to tell whether two runs wrote the same.
std::uint64_t DigestOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> block(std::size_t{1} << 20);
  std::uint64_t digest = 0;
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    const std::string_view bytes(block.data(), static_cast<std::size_t>(in.gcount()));
    digest = (digest ^ std::hash<std::string_view>{}(bytes)) * 0x100000001B3ull;
  }
  return digest;
}

// Runs one of the programs over a fresh copy; the save puts a new file in
// the copy's place, which tells that the run did save. Every run of a
// program on the same file, and of the other build, must write the same
// bytes as the first (`expected`, set by that run).
Run RunProgram(const std::string& program, const std::string& pristine, const std::string& work,
               std::optional<std::uint64_t>& expected) {
  FreshCopy(pristine, work);
  const ino_t before = InodeOf(work);
  const Run run = Spawn({program, work});
  if (InodeOf(work) == before) Fail(program + " saved nothing; see " + log);
  const std::uint64_t digest = DigestOf(work);
  if (expected && *expected != digest) Fail(program + " wrote other bytes than the run before");
  expected = digest;
  sync();
  return run;
}

Run RunCopy(const std::string& pristine, const std::string& copy, bool flush) {
  const Run run = flush ? Spawn({"sh", "-c", "cp \"$0\" \"$1\" && sync \"$1\"", pristine, copy})
                        : Spawn({"cp", pristine, copy});
  unlink(copy.c_str());
  sync();
  return run;
}

// The durable replacement: a copy under a new name, flushed, renamed over an
// existing file of the same size.
Run RunDurable(const std::string& pristine, const std::string& copy, const std::string& target) {
  FreshCopy(pristine, target);
  sync();
  const Run run =
      Spawn({"sh", "-c", "cp \"$0\" \"$1\" && sync \"$1\" && mv \"$1\" \"$2\"", pristine, copy,
             target});
  unlink(target.c_str());
  sync();
  return run;
}

Run RunMawk(const std::string& pristine, const std::string& out) {
  const Run run = Spawn({"mawk", kMawkScript, pristine}, out);
  unlink(out.c_str());
  sync();
  return run;
}

Run Median(std::vector<Run> runs) {
  auto middle = [&](auto key) {
    std::vector<double> v;
    for (const Run& r : runs) v.push_back(key(r));
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  return {middle([](const Run& r) { return r.seconds; }),
          middle([](const Run& r) { return r.cpu_seconds; }),
          static_cast<long>(middle([](const Run& r) { return double(r.peak_kib); }))};
}

struct Options {
  std::uint64_t megabytes = 200;
  int rounds = 3;
  std::string folder;
  std::string orvalen = ORVALEN_PROGRAM;
  std::string legacy = ORVALEN_LEGACY_PROGRAM;
  std::string other_orvalen;  // other builds, run in the same rounds
  std::string other_legacy;
  bool linearity = false;
  std::vector<Case> cases = {Case::kFullRewrite, Case::kUntouched};
  std::string generate;
  Case kind = Case::kFullRewrite;
  Encoding encoding = Encoding::kWindows1252;
  std::vector<std::uint64_t> sizes = {1, 10, 100, 1000, 3222};
};

Options Parse(int argc, char** argv) {
  Options o;
  const char* tmp = std::getenv("TMPDIR");
  o.folder = tmp ? tmp : "/tmp";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Fail(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--megabytes") {
      o.megabytes = std::stoull(value());
    } else if (arg == "--rounds") {
      o.rounds = std::max(1, std::stoi(value()));
    } else if (arg == "--folder") {
      o.folder = value();
    } else if (arg == "--orvalen") {
      o.orvalen = value();
    } else if (arg == "--legacy") {
      o.legacy = value();
    } else if (arg == "--other-orvalen") {
      o.other_orvalen = value();
    } else if (arg == "--other-legacy") {
      o.other_legacy = value();
    } else if (arg == "--linearity") {
      o.linearity = true;
    } else if (arg == "--generate") {
      o.generate = value();
    } else if (arg == "--untouched") {
      o.kind = Case::kUntouched;
      o.cases = {Case::kUntouched};
    } else if (arg == "--full-rewrite") {
      o.cases = {Case::kFullRewrite};
    } else if (arg == "--utf8") {
      o.encoding = Encoding::kUtf8;
    } else if (arg == "--utf16") {
      o.encoding = Encoding::kUtf16Le;
    } else if (arg == "--sizes") {
      o.sizes.clear();
      const std::string list = value();
      for (std::size_t at = 0; at < list.size();) {
        std::size_t used = 0;
        o.sizes.push_back(std::stoull(list.substr(at), &used));
        at += used + 1;
      }
    } else {
      Fail("unknown option " + arg);
    }
  }
  return o;
}

struct Anchors {
  Run cp, synced, durable, mawk;
};

void PrintRow(const char* encoding, const char* kind, const char* program, const Run& r,
              std::uint64_t size, const Anchors& a) {
  std::printf("%-16s %-13s %-14s %7.3f %7.3f %6.2f %7.2f %7.2f %7.3f %7.1f %8.1f\n", encoding,
              kind, program, r.seconds, r.cpu_seconds, r.seconds / a.cp.seconds,
              r.seconds / a.synced.seconds, r.seconds / a.durable.seconds,
              r.seconds / a.mawk.seconds, double(size) / 1e6 / r.seconds, r.peak_kib / 1024.0);
  std::fflush(stdout);
}

void Table(const Options& o, const std::string& folder) {
  const std::string pristine = folder + "/pristine.nc";
  const std::string work = folder + "/program.nc";
  const std::string copy = folder + "/copy.nc";
  const std::string awk_out = folder + "/mawk.out";
  const std::string target = folder + "/target.nc";
  std::printf(
      "%llu MB programs, median of %d; x cp+fs = time / (cp, then sync of the copy); x durable = "
      "time / (cp to a new name, sync, mv over a file of the same size)\n",
      static_cast<unsigned long long>(o.megabytes), o.rounds);
  std::printf("%-16s %-13s %-14s %7s %7s %6s %7s %7s %7s %7s %8s\n", "file", "case", "program",
              "time s", "cpu s", "x cp", "x cp+fs", "x durab", "x mawk", "MB/s", "peak MiB");
  for (const Case kind : o.cases) {
    Run mawk{};
    for (const Encoding encoding : {Encoding::kWindows1252, Encoding::kUtf8, Encoding::kUtf16Le}) {
      Generate(pristine, kind, encoding, o.megabytes * 1000 * 1000);
      const std::uint64_t size = SizeOf(pristine);
      const bool single_byte = encoding == Encoding::kWindows1252;
      std::vector<Run> cp, synced, durable, awk, current, legacy, other_current, other_legacy;
      std::optional<std::uint64_t> current_bytes, legacy_bytes;
      for (int round = 0; round < o.rounds; ++round) {
        cp.push_back(RunCopy(pristine, copy, false));
        synced.push_back(RunCopy(pristine, copy, true));
        durable.push_back(RunDurable(pristine, copy, target));
        // On this machine the first of the programs in a round runs up to
        // twice as long as the same program later in it; the two builds
        // take turns at going first.
        auto ours = [&] {
          current.push_back(RunProgram(o.orvalen, pristine, work, current_bytes));
          if (single_byte) legacy.push_back(RunProgram(o.legacy, pristine, work, legacy_bytes));
        };
        auto others = [&] {
          if (!o.other_orvalen.empty())
            other_current.push_back(RunProgram(o.other_orvalen, pristine, work, current_bytes));
          if (single_byte && !o.other_legacy.empty())
            other_legacy.push_back(RunProgram(o.other_legacy, pristine, work, legacy_bytes));
        };
        if (round % 2 == 0) {
          ours();
          others();
        } else {
          others();
          ours();
        }
        if (single_byte) awk.push_back(RunMawk(pristine, awk_out));
      }
      if (single_byte) mawk = Median(awk);
      const Anchors a{Median(cp), Median(synced), Median(durable), mawk};
      const char* name = NameOf(encoding);
      PrintRow(name, NameOf(kind), "cp", a.cp, size, a);
      PrintRow(name, NameOf(kind), "cp + fsync", a.synced, size, a);
      PrintRow(name, NameOf(kind), "durable repl.", a.durable, size, a);
      if (single_byte) PrintRow(name, NameOf(kind), "mawk", mawk, size, a);
      PrintRow(name, NameOf(kind), "Orvalen", Median(current), size, a);
      if (single_byte) PrintRow(name, NameOf(kind), "OrvalenLegacy", Median(legacy), size, a);
      if (!other_current.empty())
        PrintRow(name, NameOf(kind), "other Orvalen", Median(other_current), size, a);
      if (!other_legacy.empty())
        PrintRow(name, NameOf(kind), "other Legacy", Median(other_legacy), size, a);
      unlink(pristine.c_str());
      unlink(work.c_str());
    }
  }
}

void Linearity(const Options& o, const std::string& folder) {
  const std::string pristine = folder + "/pristine.nc";
  const std::string work = folder + "/program.nc";
  const std::string copy = folder + "/copy.nc";
  const std::string target = folder + "/target.nc";
  std::printf(
      "full rewrite, Windows-1252, median of %d; x durable = time / (cp to a new name, sync, mv "
      "over a file of the same size) of the same file\n",
      o.rounds);
  std::printf("%8s %-14s %9s %9s %9s %9s\n", "MB", "program", "time s", "durable s", "x durable",
              "peak MiB");
  for (const std::uint64_t mb : o.sizes) {
    Generate(pristine, Case::kFullRewrite, Encoding::kWindows1252, mb * 1000 * 1000);
    std::vector<Run> current, legacy, durable;
    std::optional<std::uint64_t> current_bytes, legacy_bytes;
    for (int round = 0; round < o.rounds; ++round) {
      durable.push_back(RunDurable(pristine, copy, target));
      current.push_back(RunProgram(o.orvalen, pristine, work, current_bytes));
      legacy.push_back(RunProgram(o.legacy, pristine, work, legacy_bytes));
    }
    const Run d = Median(durable);
    for (const auto& [name, runs] : {std::pair{"Orvalen", &current}, {"OrvalenLegacy", &legacy}}) {
      const Run r = Median(*runs);
      std::printf("%8llu %-14s %9.3f %9.3f %9.2f %9.1f\n", static_cast<unsigned long long>(mb),
                  name, r.seconds, d.seconds, r.seconds / d.seconds, r.peak_kib / 1024.0);
    }
    std::fflush(stdout);
    unlink(pristine.c_str());
    unlink(work.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = Parse(argc, argv);
  if (!o.generate.empty()) {
    Generate(o.generate, o.kind, o.encoding, o.megabytes * 1000 * 1000);
    return 0;
  }
  std::string folder = o.folder + "/orvalen-whole-XXXXXX";
  if (!mkdtemp(folder.data())) Fail("cannot make a folder in " + o.folder);
  log = folder + "/stderr.log";
  if (o.linearity) {
    Linearity(o, folder);
  } else {
    Table(o, folder);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
