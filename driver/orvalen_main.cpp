// Orvalen: rewrites the part program named by its first argument so that
// every subroutine runs relative to its own zero point.
#include "driver/run_driver.h"

int main(int argc, char** argv) {
  return orvalen::RunDriver(argc, argv);
}
