// The options that every command answers without doing its work: "--help"
// (or "-h") prints how to use the program and "--version" its name and the
// project's version, both on standard output, without a window and without
// reading the settings file. They count only as the first argument that is
// not empty, written exactly so; a part program named like one is given as
// "./--help".
#pragma once

#include <optional>
#include <string_view>

namespace orvalen {

// The exit status after answering such an option (0, or 1 when standard
// output cannot take the answer), or nothing when the first argument is none.
std::optional<int> AnswerInformationOption(int argc, const char* const* argv,
                                           std::string_view program_name, std::string_view usage);

}  // namespace orvalen
