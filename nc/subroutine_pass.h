// The subroutine zero-point pass (NC_Unit). Every subroutine of a part
// program (the lines from "SUBBEGIN name" to "SUBEND") is moved to its own
// zero point, taken from its first rapid line, and the rapid line two lines
// above each "SUBCALL name" in the main part is moved the other way, so that
// the machine still reaches the same places:
//   G0 X12 Y8          G0 X14 Y11
//   G1 Z-1             G1 Z-1
//   SUBCALL A    ->    SUBCALL A
//   SUBBEGIN A         SUBBEGIN A
//   G0 X2 Y3           G0 X0 Y0
//   G1 X4              G1 X2
//   SUBEND             SUBEND
// (A line without X or Y keeps it so: only the letters a line has move.)
//
// A program is never held whole: the pass runs in two reads. The first makes
// a plan from the few lines that decide anything (SubroutinePlanner). The
// second pass is worked out on the plan (RunSecondPass). The second read
// streams every line through once more, and each line of the plan's runs is
// shifted on its way (ShiftRunLine). What is shown and raised comes in this
// order: the question once the program has been read (at its first SUBBEGIN
// line; No saves nothing), then the first pass's messages in line order as
// the stream meets them and its failure after them, then the second pass's.
// A failure or a search error saves nothing.
#pragma once

#include "nc/quiet_shift.h"
#include "nc/second_pass.h"
#include "nc/shift_runs.h"
#include "nc/subroutine_planner.h"
#include "nc/subroutine_rules.h"
