#include "app/routines.h"

#include "export/save_and_copy.h"

Routine FindRoutine(const std::string& name) {
  static const struct {
    const char* name;
    Routine routine;
  } kRoutines[] = {
      {"SaveAndCopy", SaveAndCopy},
  };
  for (const auto& r : kRoutines)
    if (name == r.name) return r.routine;
  return nullptr;
}
