#pragma once

namespace lexiform {

// The whole program: takes the process arguments and returns the exit status.
int RunProgram(int argc, char* argv[]);

} // namespace lexiform
