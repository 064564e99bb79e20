// The small part programs that the end-to-end tests run the programs on, and
// what the programs make of them.
#pragma once

#include <initializer_list>
#include <string>

namespace orvalen::testing {

// The lines, each followed by `end`.
inline std::string Lines(std::initializer_list<const char*> lines, const char* end = "\r\n") {
  std::string text;
  for (const char* line : lines) text += std::string(line) + end;
  return text;
}

// One subroutine with its zero point at X1.5 Y2, called once; and rewritten.
inline const std::string kProgram = Lines({"G0 X10 Y20", "M3", "SUBCALL P1", "M30", "SUBBEGIN P1",
                                           "G0 X1.5 Y2", "G1 X3 Y4.25", "SUBEND"});
inline const std::string kRewritten = Lines({"G0 X11.5 Y22", "M3", "SUBCALL P1", "M30",
                                             "SUBBEGIN P1", "G0 X0 Y0", "G1 X1.5 Y2.25", "SUBEND"});

// A call on the first line makes the pass read line -2: the list-index failure.
inline const std::string kCallOnFirstLine =
    Lines({"SUBCALL P1", "SUBBEGIN P1", "G0 X1 Y1", "SUBEND"});

// `count` subroutines S1, S2, ... of one rapid line each, and no calls; from
// 100 on, more than the table holds: the range error.
inline std::string Subroutines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i)
    text += "SUBBEGIN S" + std::to_string(i) + "\r\nG0 X1 Y1\r\nSUBEND\r\n";
  return text;
}

}  // namespace orvalen::testing
