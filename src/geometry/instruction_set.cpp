// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"

namespace tavrinox_camera_convertor
{

bool is_supported(InstructionSet set)
{
  switch (set) {
    case InstructionSet::scalar:
      return true;
    case InstructionSet::sse2:
#if defined(__SSE2__)
      return true;
#else
      return false;
#endif
    case InstructionSet::avx2:
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
      return __builtin_cpu_supports("avx2");
#else
      return false;
#endif
  }
  return false;
}

InstructionSet fastest_instruction_set()
{
  for (const InstructionSet set : {InstructionSet::avx2, InstructionSet::sse2}) {
    if (is_supported(set)) {
      return set;
    }
  }
  return InstructionSet::scalar;
}

std::string to_string(InstructionSet set)
{
  switch (set) {
    case InstructionSet::scalar:
      return "scalar";
    case InstructionSet::sse2:
      return "sse2";
    case InstructionSet::avx2:
      return "avx2";
  }
  return "unknown";
}

}  // namespace tavrinox_camera_convertor
