#include "driver/driver.h"

int main(int argc, char* argv[]) {
  return lexiform::RunProgram(argc, argv);
}
