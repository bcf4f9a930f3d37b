// The routines that the window description's events may name.
#pragma once

#include <string>

using Routine = void (*)();

// The routine of this name, or nullptr when the program has none.
Routine FindRoutine(const std::string& name);
