// Loads and saves a generated 200 MB part program (about 6 million lines of
// realistic G-code) with the current program's LineList, as Windows-1252, as
// UTF-8 with mark and as UTF-16 LE, and compares each with `cp` of the same
// file in the same run. Every measurement runs in a child process. The peak
// resident memory is the one the round-trip child reads from its own
// /proc/self/status (VmHWM): the maxrss of wait4 would also count this
// process, which holds the generated texts, because exec carries over the
// peak of the image it replaces. The flush to disk that every save ends with
// is a large part of the time and is the disk's, not the list's; a second
// round trip with the flush left out shows the rest, and a copy followed by
// an fsync of the copy (`sync FILE`) gives the same durability to compare. Each round trip starts
// from the file as freshly written, like the copy. With ROUNDS above 1 every
// time is the best of that many rounds, which keeps the noise of a shared
// machine out of the comparison. Usage:
//   line_list_bench [MEGABYTES] [FOLDER] [ROUNDS]   (defaults: 200, $TMPDIR or /tmp, 1)
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "reference/line_list.h"
#include "tests/test_support.h"
#include "tools/codepage1252.h"

namespace {

struct Measure {
  double seconds;
  long peak_kib;  // as the child printed it
};

extern "C" char** environ;

Measure InChild(const char* program, std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int out[2];
  if (pipe(out) != 0) std::exit(1);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    std::fprintf(stderr, "cannot start %s\n", program);
    std::exit(1);
  }
  close(out[1]);
  long peak_kib = 0;
  if (FILE* printed = fdopen(out[0], "r")) {
    if (std::fscanf(printed, "%ld", &peak_kib) != 1) peak_kib = 0;
    std::fclose(printed);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "child failed\n");
    std::exit(1);
  }
  return {std::chrono::duration<double>(end - start).count(), peak_kib};
}

std::string GenerateProgram(std::size_t bytes) {
  std::mt19937 engine(42);
  auto random = [&engine] { return static_cast<unsigned>(engine()); };
  std::string text;
  text.reserve(bytes + 100);
  char line[160];
  int n = 10;
  while (text.size() < bytes) {
    const unsigned kind = random() % 100;
    int len;
    if (kind < 2) {
      len = std::snprintf(line, sizeof line,
                          "SUBBEGIN P%u ; Fr\xE4sen Au\xDF"
                          "enkontur\r\n",
                          random() % 99);
    } else if (kind < 4) {
      len = std::snprintf(line, sizeof line, "N%d SUBEND\r\n", n);
    } else if (kind < 10) {
      len = std::snprintf(line, sizeof line, "N%d G0 X%d.%03u Y%d.%03u Z5.\r\n", n,
                          int(random() % 2000) - 1000, random() % 1000, int(random() % 2000) - 1000,
                          random() % 1000);
    } else {
      len = std::snprintf(line, sizeof line, "N%d G1 X%d.%03u Y%d.%03u F%u\r\n", n,
                          int(random() % 2000) - 1000, random() % 1000, int(random() % 2000) - 1000,
                          random() % 1000, 500 + random() % 3000);
    }
    text.append(line, static_cast<std::size_t>(len));
    n += 10;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 3 || argc == 4) && std::string(argv[1]) == "--round-trip") {
    if (argc == 4 && std::string(argv[3]) == "--no-flush")
      orvalen::SetSyncCallForTesting([](int) { return 0; });
    orvalen::LineList<orvalen::CurrentBuild> lines;
    lines.LoadFromFile(argv[2]);
    lines.SaveToFile(argv[2]);
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmHWM:", 0) == 0)
        std::printf("%ld\n", std::strtol(line.c_str() + 6, nullptr, 10));
    return lines.Count() > 0 ? 0 : 1;
  }
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
  const unsigned long rounds = argc > 3 ? std::max(1ul, std::strtoul(argv[3], nullptr, 10)) : 1;
  const char* tmp = std::getenv("TMPDIR");
  const orvalen::testing::ScratchFolder folder(argc > 2 ? argv[2] : tmp ? tmp : "/tmp");

  const std::string cp1252 = GenerateProgram(megabytes * 1000 * 1000);
  const std::u16string text = orvalen::DecodeCp1252(cp1252);
  struct Variant {
    const char* name;
    orvalen::TextEncoding encoding;
  } variants[] = {{"Windows-1252", orvalen::TextEncoding::kSystemCodePage},
                  {"UTF-8 with mark", orvalen::TextEncoding::kUtf8},
                  {"UTF-16 LE", orvalen::TextEncoding::kUtf16LittleEndian}};
  std::printf("%-16s %8s %8s %11s %7s %10s %7s %11s %7s %9s %9s\n", "file", "MB", "cp s",
              "load+save s", "ratio", "no-fsync s", "ratio", "cp+fsync s", "ratio", "peak MiB",
              "peak/size");
  for (const auto& v : variants) {
    const std::string path = folder / "program.nc";
    const orvalen::ProgramTextEncoder encoder(v.encoding);
    std::string bytes(encoder.ByteOrderMark());
    const std::size_t at = bytes.size();
    bytes.resize(at + text.size() * orvalen::ProgramTextEncoder::kMaxBytesPerUnit);
    bytes.resize(static_cast<std::size_t>(encoder.Encode(text, bytes.data() + at) - bytes.data()));
    const double size = static_cast<double>(bytes.size());
    auto write_program = [&] { orvalen::testing::WriteBytes(path, bytes); };
    const std::string copy = folder / "copy.nc";
    Measure cp{1e9, 0}, synced_cp{1e9, 0}, list{1e9, 0}, unflushed{1e9, 0};
    auto keep_best = [](Measure& best, const Measure& m) {
      if (m.seconds < best.seconds) best = m;
    };
    for (unsigned long round = 0; round < rounds; ++round) {
      write_program();
      keep_best(cp, InChild("/bin/cp", {"cp", path, copy}));
      unlink(copy.c_str());
      // The same copy made as durable as the list's save: the copy fsynced.
      keep_best(synced_cp,
                InChild("/bin/sh", {"sh", "-c", "cp \"$0\" \"$1\" && sync \"$1\"", path, copy}));
      unlink(copy.c_str());
      write_program();
      // A fresh process image, so that the peak is the list's alone.
      keep_best(list, InChild("/proc/self/exe", {"line_list_bench", "--round-trip", path}));
      write_program();
      keep_best(unflushed,
                InChild("/proc/self/exe", {"line_list_bench", "--round-trip", path, "--no-flush"}));
    }
    std::printf("%-16s %8.1f %8.3f %11.3f %7.2f %10.3f %7.2f %11.3f %7.2f %9.1f %9.2f\n", v.name,
                size / 1e6, cp.seconds, list.seconds, list.seconds / cp.seconds, unflushed.seconds,
                unflushed.seconds / cp.seconds, synced_cp.seconds, list.seconds / synced_cp.seconds,
                list.peak_kib / 1024.0, list.peak_kib * 1024.0 / size);
    std::fflush(stdout);
    unlink(path.c_str());
  }
  return 0;
}
