// Loads and saves a generated 200 MB part program (about 6 million lines of
// realistic G-code) with the current program's LineList, as Windows-1252, as
// UTF-8 with mark and as UTF-16 LE, and compares each with `cp` of the same
// file in the same run. Every measurement runs in a child process, so the peak
// resident memory is the child's own (wait4). Usage:
//   line_list_bench [MEGABYTES] [FOLDER]      (defaults: 200, $TMPDIR or /tmp)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "driver/line_list.h"
#include "tools/codepage1252.h"

namespace {

struct Measure {
  double seconds;
  long peak_kib;
};

template <class Work>
Measure InChild(Work work) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) _exit(work());
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "child failed\n");
    std::exit(1);
  }
  return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss};
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
  if (argc == 3 && std::string(argv[1]) == "--round-trip") {
    orvalen::LineList<orvalen::CurrentBuild> lines;
    lines.LoadFromFile(argv[2]);
    lines.SaveToFile(argv[2]);
    return lines.Count() > 0 ? 0 : 1;
  }
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
  const char* tmp = std::getenv("TMPDIR");
  std::string folder_template = std::string(argc > 2 ? argv[2]
                                            : tmp    ? tmp
                                                     : "/tmp") +
                                "/orvalen-bench-XXXXXX";
  if (!mkdtemp(folder_template.data())) return 1;
  const std::string folder = folder_template;

  const std::string cp1252 = GenerateProgram(megabytes * 1000 * 1000);
  const std::u16string text = orvalen::DecodeCp1252(cp1252);
  struct Variant {
    const char* name;
    orvalen::TextEncoding encoding;
  } variants[] = {{"Windows-1252", orvalen::TextEncoding::kSystemCodePage},
                  {"UTF-8 with mark", orvalen::TextEncoding::kUtf8},
                  {"UTF-16 LE", orvalen::TextEncoding::kUtf16LittleEndian}};
  std::printf("%-16s %10s %8s %10s %8s %10s %10s\n", "file", "MB", "cp s", "load+save s", "ratio",
              "peak MiB", "peak/size");
  for (const auto& v : variants) {
    const std::string path = folder + "/program.nc";
    {
      const orvalen::ProgramTextEncoder encoder(v.encoding);
      std::string bytes(encoder.ByteOrderMark());
      const std::size_t at = bytes.size();
      bytes.resize(at + text.size() * orvalen::ProgramTextEncoder::kMaxBytesPerUnit);
      bytes.resize(
          static_cast<std::size_t>(encoder.Encode(text, bytes.data() + at) - bytes.data()));
      std::ofstream(path, std::ios::binary) << bytes;
    }
    const double size =
        static_cast<double>(std::ifstream(path, std::ios::ate | std::ios::binary).tellg());
    const std::string copy = folder + "/copy.nc";
    const Measure cp = InChild([&] {
      execl("/bin/cp", "cp", path.c_str(), copy.c_str(), static_cast<char*>(nullptr));
      return 127;
    });
    // A fresh process image, so that the peak is the list's alone.
    const Measure list = InChild([&] {
      execl("/proc/self/exe", "line_list_bench", "--round-trip", path.c_str(),
            static_cast<char*>(nullptr));
      return 127;
    });
    std::printf("%-16s %10.1f %8.3f %10.3f %8.2f %10.1f %10.2f\n", v.name, size / 1e6, cp.seconds,
                list.seconds, list.seconds / cp.seconds, list.peak_kib / 1024.0,
                list.peak_kib * 1024.0 / size);
    std::fflush(stdout);
    unlink(copy.c_str());
    unlink(path.c_str());
  }
  rmdir(folder.c_str());
  return 0;
}
