#include "driver/dialogs/window_layout.h"

#include <algorithm>
#include <cstddef>

namespace orvalen {
namespace {

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The length of the UTF-8 character at `at`, with its continuation bytes.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  std::size_t end = at + 1;
  while (end < text.size() && IsContinuationByte(text[end])) ++end;
  return end - at;
}

// The text between line ends.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size() || lines.empty()) lines.push_back(text.substr(start));
  return lines;
}

std::string ExpandTabs(std::string_view line) {
  std::string expanded;
  std::size_t column = 0;
  for (char c : line) {
    if (c == '\t') {
      const std::size_t spaces = kDialogTabColumns - column % kDialogTabColumns;
      expanded.append(spaces, ' ');
      column += spaces;
      continue;
    }
    expanded.push_back(c);
    if (!IsContinuationByte(c)) ++column;
  }
  return expanded;
}

// Breaks one line without line ends into `out`.
void WrapLine(std::string_view line, int max_width, const TextWidth& width,
              std::vector<std::string>& out) {
  std::string current;  // the line being filled
  bool has_word = false;
  std::size_t at = 0;
  // The blanks before the first word stay: they indent the line.
  while (at < line.size() && line[at] == ' ') current.push_back(line[at++]);
  std::string_view blanks;  // between the last word and the next one
  while (at < line.size()) {
    std::size_t end = at;
    while (end < line.size() && line[end] != ' ') ++end;
    const std::string_view word = line.substr(at, end - at);
    if (!has_word) {
      current.append(word);
    } else {
      std::string candidate = current;
      candidate.append(blanks).append(word);
      if (width(candidate) <= max_width) {
        current = std::move(candidate);
      } else {
        out.push_back(std::move(current));
        current.assign(word);
      }
    }
    has_word = true;
    // A word too wide for a line of its own is broken between characters.
    while (width(current) > max_width && CharacterLength(current, 0) < current.size()) {
      std::size_t fits = CharacterLength(current, 0);
      while (fits < current.size()) {
        const std::size_t longer = fits + CharacterLength(current, fits);
        if (width(std::string_view(current).substr(0, longer)) > max_width) break;
        fits = longer;
      }
      out.push_back(current.substr(0, fits));
      current.erase(0, fits);
    }
    at = end;
    while (at < line.size() && line[at] == ' ') ++at;
    blanks = line.substr(end, at - end);
  }
  out.push_back(std::move(current));
}

}  // namespace

std::vector<std::string> BreakText(std::string_view text, int max_width, const TextWidth& width) {
  std::vector<std::string> lines;
  for (std::string_view line : SplitLines(text))
    WrapLine(ExpandTabs(line), max_width, width, lines);
  return lines;
}

DialogArrangement ArrangeDialog(const DialogContent& content) {
  DialogArrangement arrangement;
  const int count = static_cast<int>(content.caption_widths.size());
  int button_width = kDialogButtonMinWidth;
  for (int caption : content.caption_widths)
    button_width = std::max(button_width, caption + kDialogButtonPadding);
  const int row_width = count > 0 ? count * button_width + (count - 1) * kDialogButtonGap : 0;

  const int text_left = content.icon ? kDialogIconSize + kDialogIconGap : 0;
  const int upper_height =
      content.icon ? std::max(content.text_height, kDialogIconSize) : content.text_height;
  const int inner_width = std::max(text_left + content.text_width, row_width);
  arrangement.width = inner_width + 2 * kDialogMargin;
  arrangement.height =
      kDialogMargin + upper_height + kDialogRowGap + kDialogButtonHeight + kDialogMargin;

  if (content.icon)
    arrangement.icon = {kDialogMargin, kDialogMargin, kDialogIconSize, kDialogIconSize};
  arrangement.text = {kDialogMargin + text_left,
                      kDialogMargin + (upper_height - content.text_height) / 2, content.text_width,
                      content.text_height};
  const int row_left = (arrangement.width - row_width) / 2;
  const int row_top = kDialogMargin + upper_height + kDialogRowGap;
  for (int i = 0; i < count; ++i)
    arrangement.buttons.push_back({row_left + i * (button_width + kDialogButtonGap), row_top,
                                   button_width, kDialogButtonHeight});
  return arrangement;
}

DialogRect CentreIn(const DialogRect& area, int width, int height) {
  return {area.x + std::max(0, (area.w - width) / 2), area.y + std::max(0, (area.h - height) / 2),
          width, height};
}

}  // namespace orvalen
