// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "decoding_queue.hpp"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <utility>

namespace tavrinox_camera_convertor
{

DecodingQueue::DecodingQueue(rclcpp::Logger logger, bool defer, std::size_t max_pending_bytes)
: logger_(std::move(logger)), defer_(defer), max_pending_bytes_limit_(max_pending_bytes)
{
  worker_ = std::thread([this] {decode_loop();});
}

DecodingQueue::~DecodingQueue()
{
  stop();
}

void DecodingQueue::enqueue(
  OutputKind kind, std::int64_t stamp_ns, std::int64_t received_ns, std::size_t bytes,
  DecodeWork decode)
{
  Job job;
  job.output = static_cast<std::size_t>(kind);
  job.stamp_ns = stamp_ns;
  job.received_ns = received_ns;
  job.bytes = bytes;
  job.decode = std::move(decode);
  const std::lock_guard<std::mutex> lock(mutex_);
  ++received_[job.output];
  bytes_[job.output] += bytes;
  if (pending_bytes_ + bytes > max_pending_bytes_limit_) {
    ++overflowed_;
    return;
  }
  pending_bytes_ += bytes;
  max_pending_bytes_ = std::max(max_pending_bytes_, pending_bytes_);
  jobs_.push_back(std::move(job));
  wake_.notify_one();
}

void DecodingQueue::stop()
{
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) {
    worker_.join();
  }
}

void DecodingQueue::decode_loop()
{
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
  DecodeState state;
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] {return stopping_ || (!jobs_.empty() && !defer_);});
    if (jobs_.empty()) {
      return;
    }
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    const auto started = std::chrono::steady_clock::now();
    std::optional<Decoded> decoded;
    try {
      decoded = job.decode(state);
    } catch (const std::exception & error) {
      RCLCPP_WARN_ONCE(
        logger_, "%s: cannot decode (%s)", kOutputNames[job.output], error.what());
    }
    const double decode_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
      .count();
    job.decode = nullptr;
    lock.lock();
    pending_bytes_ -= job.bytes;
    decode_ms_[job.output] += decode_ms;
    max_decode_ms_[job.output] = std::max(max_decode_ms_[job.output], decode_ms);
    if (!decoded) {
      ++failed_[job.output];
    } else if (!decoded->set) {
      ++untagged_[job.output];
    } else {
      OutputRecord record;
      record.set = *decoded->set;
      record.output = static_cast<std::uint32_t>(job.output);
      record.stamp_ns = job.stamp_ns;
      record.received_ns = job.received_ns;
      record.bytes = job.bytes;
      record.hash = decoded->hash;
      records_.push_back(record);
    }
  }
}

std::size_t DecodingQueue::report_messages(std::ostream & text) const
{
  std::size_t messages = 0;
  for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
    messages += received_[k];
    if (received_[k] == 0) {
      continue;
    }
    char line[512];
    std::snprintf(
      line, sizeof line,
      "remote_messages=%s received=%zu bytes_per_message=%.0f decode_ms_mean=%.2f "
      "decode_ms_max=%.2f failed=%zu untagged=%zu\n",
      kOutputNames[k], received_[k], static_cast<double>(bytes_[k]) / received_[k],
      decode_ms_[k] / received_[k], max_decode_ms_[k], failed_[k], untagged_[k]);
    text << line;
  }
  return messages;
}

}  // namespace tavrinox_camera_convertor
