// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>

namespace tavrinox_camera_convertor
{

/**
 * Vector instructions the per-pixel loops may use. Every choice gives the same bytes: the wider
 * ones run the same IEEE operations in the same order, several pixels at a time.
 */
enum class InstructionSet
{
  scalar,  ///< one pixel at a time; every platform
  sse2,    ///< four pixels at a time; every x86-64 processor
  avx2,    ///< eight pixels at a time; x86-64 processors that report AVX2
};

/// @brief Whether this build and this processor can run `set`.
bool is_supported(InstructionSet set);

/// @brief The widest instruction set this build and this processor can run.
InstructionSet fastest_instruction_set();

/// @brief "scalar", "sse2" or "avx2".
std::string to_string(InstructionSet set);

}  // namespace tavrinox_camera_convertor
