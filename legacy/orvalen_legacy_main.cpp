// OrvalenLegacy: the older program on single-byte text; rewrites the part
// program named by its first argument in place.
#include "legacy/legacy_run_driver.h"

int main(int argc, char** argv) {
  return orvalen::LegacyRunDriver(argc, argv);
}
