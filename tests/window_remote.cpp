#include "tests/window_remote.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <stdexcept>
#include <thread>

extern "C" char** environ;

namespace orvalen::testing {
namespace {

constexpr auto kPollStep = std::chrono::milliseconds(10);

std::string AnchoredPattern(const std::string& caption) {
  static const std::regex kSpecial(R"([.^$|()\[\]{}*+?\\])");
  return "^" + std::regex_replace(caption, kSpecial, R"(\$&)") + "$";
}

std::string FindShownWindow(const std::string& caption) {
  const ToolResult found =
      RunTool({"xdotool", "search", "--onlyvisible", "--name", AnchoredPattern(caption)});
  if (found.exit_status != 0) return "";
  const std::string& ids = found.output;
  return ids.substr(0, ids.find('\n'));
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& words) {
  std::vector<std::string> copy = words;
  std::vector<char*> argv;
  for (std::string& word : copy) argv.push_back(word.data());
  argv.push_back(nullptr);

  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("cannot create a pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    throw std::runtime_error("cannot start " + words.front() +
                             ": scripts/setup installs xdotool and xclip");
  }

  ToolResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool timed_out = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{out[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
      timed_out = true;
      break;
    }
    char buffer[4096];
    const ssize_t got = read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    result.output.append(buffer, static_cast<std::size_t>(got));
  }
  close(out[0]);
  if (timed_out) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!timed_out && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  return result;
}

std::string WaitForWindow(const std::string& caption, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    std::string window = FindShownWindow(caption);
    if (!window.empty() || std::chrono::steady_clock::now() >= deadline) return window;
    std::this_thread::sleep_for(kPollStep);
  }
}

bool WindowShown(const std::string& caption) {
  return !FindShownWindow(caption).empty();
}

void PressKeys(const std::string& window, const std::vector<std::string>& keys) {
  std::vector<std::string> words = {"xdotool", "windowfocus", "--sync", window, "key"};
  words.insert(words.end(), keys.begin(), keys.end());
  const ToolResult pressed = RunTool(words);
  if (pressed.exit_status != 0) throw std::runtime_error("xdotool could not type the keys");
}

void RequestClose(const std::string& window) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) throw std::runtime_error("cannot open the test display");
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = std::strtoul(window.c_str(), nullptr, 10);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  XCloseDisplay(display);
}

WindowGeometry GeometryOf(const std::string& window) {
  const ToolResult shown = RunTool({"xdotool", "getwindowgeometry", window});
  static const std::regex kGeometry(R"(Position: (-?\d+),(-?\d+)[^\n]*\n\s*Geometry: (\d+)x(\d+))");
  std::smatch match;
  if (shown.exit_status != 0 || !std::regex_search(shown.output, match, kGeometry))
    throw std::runtime_error("xdotool gave no geometry for window " + window);
  return {std::stoi(match[1]), std::stoi(match[2]), std::stoi(match[3]), std::stoi(match[4])};
}

WindowHints HintsOf(const std::string& window) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) throw std::runtime_error("cannot open the test display");
  const Window xid = std::strtoul(window.c_str(), nullptr, 10);
  WindowHints hints;
  XSizeHints size{};
  long supplied = 0;
  if (XGetWMNormalHints(display, xid, &size, &supplied) && (size.flags & PMinSize) &&
      (size.flags & PMaxSize)) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, xid, &attributes);
    hints.fixed_size = size.min_width == attributes.width && size.max_width == attributes.width &&
                       size.min_height == attributes.height && size.max_height == attributes.height;
  }
  auto read = [&](const char* name, Atom type) {
    std::vector<long> values;
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, xid, XInternAtom(display, name, False), 0, 16, False, type,
                           &actual, &format, &count, &after, &data) == Success &&
        data != nullptr) {
      if (format == 32) {
        const long* longs = reinterpret_cast<const long*>(data);
        values.assign(longs, longs + count);
      }
      XFree(data);
    }
    return values;
  };
  const std::vector<long> types = read("_NET_WM_WINDOW_TYPE", XA_ATOM);
  hints.dialog_type =
      types.size() == 1 &&
      static_cast<Atom>(types[0]) == XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  const std::vector<long> motif = read("_MOTIF_WM_HINTS", AnyPropertyType);
  if (motif.size() >= 2 && (motif[0] & 1)) hints.motif_functions = motif[1];
  XCloseDisplay(display);
  return hints;
}

std::string WaitForClipboard(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const ToolResult read = RunTool({"xclip", "-o", "-selection", "clipboard"});
    if (read.exit_status == 0 && !read.output.empty()) return read.output;
    if (std::chrono::steady_clock::now() >= deadline) return "";
    std::this_thread::sleep_for(kPollStep);
  }
}

}  // namespace orvalen::testing
