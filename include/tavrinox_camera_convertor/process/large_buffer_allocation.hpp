// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

namespace tavrinox_camera_convertor
{

/**
 * @brief Keeps the memory of freed images and clouds in the process for the next frame.
 *
 * Every frame set brings a few megabytes of images and sends out tens of megabytes of clouds,
 * in buffers the middleware and in-process subscribers allocate and free anew. glibc serves
 * blocks of that size straight from the kernel and gives them back on free, so each frame pays
 * a page fault per 4 kB touched again, which cost more than the whole frame's work. Here they
 * come from one heap that is never trimmed: blocks up to 32 MiB from the heap, no trimming below
 * 1 GiB of free memory, one arena for all threads (a per-thread heap that empties is returned
 * to the kernel whole). Call it first thing in the process. Settings given in GLIBC_TUNABLES
 * (glibc.malloc.*) win, and nothing is changed then.
 * @return whether the settings were applied
 */
bool keep_large_buffers_allocated();

}  // namespace tavrinox_camera_convertor
