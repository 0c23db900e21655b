// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The remote consumer's received messages on their way to a decoding thread of their own, and
// what came of each output: counts, bytes, decoding times and a record per decoded output.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include <rclcpp/rclcpp.hpp>

#include "remote_decoding.hpp"
#include "remote_figures.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{

/// How a queued message is decoded, with what the decoding thread keeps.
using DecodeWork = std::function<Decoded(DecodeState &)>;

/**
 * Decodes in arrival order, or all at the end with `defer`. On one machine the decoding would
 * take the robot's processors, which another host would not: the thread runs at the lowest
 * priority and lets its queue grow instead, and stop() waits for it to drain.
 */
class DecodingQueue
{
public:
  /**
   * @param logger where a message that does not decode is mentioned, once
   * @param defer decode nothing before stop()
   * @param max_pending_bytes the most the queued messages may hold; messages beyond it are
   *        counted and dropped rather than decoded
   */
  DecodingQueue(rclcpp::Logger logger, bool defer, std::size_t max_pending_bytes);
  ~DecodingQueue();

  DecodingQueue(const DecodingQueue &) = delete;
  DecodingQueue & operator=(const DecodingQueue &) = delete;

  /// @brief Notes a message of `bytes` that arrived at `received_ns`; `decode` decodes it later.
  void enqueue(
    OutputKind kind, std::int64_t stamp_ns, std::int64_t received_ns, std::size_t bytes,
    DecodeWork decode);

  /// @brief Decodes what is queued, then ends the thread; the figures below are final after it.
  void stop();

  /**
   * @brief A "remote_messages=" line for every output that came: how many, their mean bytes,
   *        decoding time, and how many failed or named no set.
   * @return the messages received of all outputs
   */
  std::size_t report_messages(std::ostream & text) const;

  std::size_t max_pending_bytes() const {return max_pending_bytes_;}
  std::size_t overflowed() const {return overflowed_;}
  const std::vector<OutputRecord> & records() const {return records_;}

private:
  /// A received message waiting for the decoding thread.
  struct Job
  {
    std::size_t output = 0;
    std::int64_t stamp_ns = 0;
    std::int64_t received_ns = 0;
    std::size_t bytes = 0;
    DecodeWork decode;
  };

  void decode_loop();

  rclcpp::Logger logger_;
  const bool defer_;
  const std::size_t max_pending_bytes_limit_;

  std::mutex mutex_;  ///< between the receiving callbacks and the decoding thread
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::size_t pending_bytes_ = 0;
  std::size_t max_pending_bytes_ = 0;
  std::size_t overflowed_ = 0;
  std::array<std::size_t, 5> received_{};
  std::array<std::size_t, 5> bytes_{};
  std::array<std::size_t, 5> failed_{};
  std::array<std::size_t, 5> untagged_{};
  std::array<double, 5> decode_ms_{};
  std::array<double, 5> max_decode_ms_{};
  std::vector<OutputRecord> records_;
  std::thread worker_;  ///< last: it uses everything above
};

}  // namespace tavrinox_camera_convertor
