// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Installs backward-cpp's handlers at load time: a crash or an abort prints a stack trace
// with source lines (read through libdw) instead of dying silently.
#include <backward.hpp>

namespace backward
{
backward::SignalHandling crash_handler;
}  // namespace backward
