// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "tavrinox_camera_convertor/pairing/camera_input.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief Pairs the four inputs' images into sets by their stamps: message_filters'
 *        approximate-time policy (the set spanning the least time, with an age penalty of 0.1,
 *        published once no later image can make a better one), with the bound on a set's span
 *        enforced where the set is chosen.
 *
 * With a bound that does not change, it picks exactly the sets message_filters' ApproximateTime
 * with setMaxIntervalDuration() picks. It differs in three ways, each about a set that policy
 * would lose or mix:
 * - when the bound tightens while a set is still a candidate, as it does while the inputs'
 *   frame periods are being learned, message_filters keeps the candidate, which then mixes two
 *   frames, is refused, and takes with it images that belonged to a whole set. Here such a
 *   candidate is taken apart again and the search starts over under the new bound;
 * - under a bound marked provisional (learned from too few images: a lost image can make it a
 *   whole period too wide) a set spanning more than half of it is held until the bound is final,
 *   and published then if it is within it;
 * - release() publishes the set that waits for a later image to show nothing better comes, when
 *   the caller knows none is coming soon: the last set of a burst is not held back forever.
 *
 * `Image` is what the caller keeps of each image (a shared pointer, an index). One thread; no
 * allocation per image once the queues have grown.
 */
template<typename Image>
class ApproximatePairing
{
public:
  /// One image and its header stamp.
  struct Stamped
  {
    std::int64_t stamp_ns;
    Image image;
  };
  using Set = std::array<Stamped, kCameraInputCount>;
  using SetCallback = std::function<void (const Set &)>;

  /**
   * @param queue_size images kept per input while they wait for a set, as message_filters'
   *        queue size (the oldest is dropped beyond it)
   * @param on_set called with each set chosen, in stamp order, from within add()
   */
  ApproximatePairing(std::size_t queue_size, SetCallback on_set)
  : queue_size_(queue_size), on_set_(std::move(on_set)) {}

  /**
   * @brief The largest span a set may have, in nanoseconds; none: any. A candidate set wider than
   *        a new bound, or held under the previous one, is taken apart and the search run again.
   * @param provisional sets spanning more than half the bound wait for a final one
   */
  void set_max_interval(std::optional<std::int64_t> bound_ns, bool provisional = false)
  {
    max_interval_ns_ = bound_ns.value_or(std::numeric_limits<std::int64_t>::max());
    provisional_ = provisional;
    if (held_ || (has_candidate() && candidate_end_ - candidate_start_ > max_interval_ns_)) {
      search_again();
    }
  }

  /**
   * @brief Publishes every set the images so far make, without waiting for later images to show
   *        that no better one comes: for when none is coming soon. Each is within the bound.
   */
  void release()
  {
    const bool provisional = provisional_;
    provisional_ = false;
    search_again();
    while (has_candidate()) {
      publish();
      process();
    }
    provisional_ = provisional;
  }

  /// @brief Takes an image of `input`; calls on_set for every set it completes.
  void add(CameraInput input, std::int64_t stamp_ns, Image image)
  {
    const std::size_t i = index_of(input);
    queues_[i].push_back({stamp_ns, std::move(image)});
    if (queues_[i].size() == 1 && ++non_empty_ == kCameraInputCount && !held_) {
      process();
    }
    if (queues_[i].size() + past_[i].size() > queue_size_) {
      // The oldest image of the input goes; a candidate that might have used it is abandoned.
      restore_all();
      queues_[i].pop_front();
      dropped_[i] = true;
      count_non_empty();
      if (has_candidate()) {
        forget_candidate();
        process();
      }
    }
  }

private:
  static constexpr std::size_t kNoPivot = kCameraInputCount;
  static constexpr double kAgePenalty = 0.1;

  bool has_candidate() const {return pivot_ != kNoPivot;}

  /// @brief Index and stamp of the oldest (`latest` false) or latest queue front.
  std::pair<std::size_t, std::int64_t> front_boundary(bool latest) const
  {
    std::size_t index = 0;
    std::int64_t stamp = queues_[0].front().stamp_ns;
    for (std::size_t i = 1; i < kCameraInputCount; ++i) {
      const std::int64_t s = queues_[i].front().stamp_ns;
      // Ties go to the later input for the latest, to the earlier for the oldest.
      if (latest ? s >= stamp : s < stamp) {
        index = i;
        stamp = s;
      }
    }
    return {index, stamp};
  }

  /**
   * @brief Whether the candidate is no worse than one spanning [start, end]: the later end,
   *        weighed by the age penalty, outweighs the later start. The product is truncated to
   *        whole nanoseconds as rclcpp::Duration's is, so that ties fall as in message_filters.
   */
  bool candidate_holds(std::int64_t start, std::int64_t end) const
  {
    const auto weighed = static_cast<std::int64_t>(
      static_cast<long double>(end - candidate_end_) *
      static_cast<long double>(1.0 + kAgePenalty));
    return weighed >= start - candidate_start_;
  }

  void process()
  {
    // Runs while every input has an image not yet looked at.
    while (non_empty_ == kCameraInputCount) {
      const auto [end_index, end] = front_boundary(true);
      const auto [start_index, start] = front_boundary(false);
      for (std::size_t i = 0; i < kCameraInputCount; ++i) {
        if (i != end_index) {
          dropped_[i] = false;
        }
      }
      if (!has_candidate()) {
        if (end - start > max_interval_ns_ || dropped_[end_index]) {
          // Too wide to be a set, or led by an input that lost images: its oldest image cannot
          // belong to any set.
          queues_[start_index].pop_front();
          if (queues_[start_index].empty()) {
            --non_empty_;
          }
          continue;
        }
        take_candidate(start, end);
        pivot_ = end_index;
        pivot_ns_ = end;
      } else if (!candidate_holds(start, end)) {
        take_candidate(start, end);
      }
      move_to_past(start_index);
      const bool proven = start_index == pivot_ || candidate_holds(pivot_ns_, end) ||
        (non_empty_ < kCameraInputCount && !better_set_may_come());
      if (proven && provisional_ && candidate_end_ - candidate_start_ > max_interval_ns_ / 2) {
        // Possibly two frames, were the bound a period too wide: it waits for the final bound.
        held_ = true;
        return;
      }
      if (proven) {
        // Every set containing the pivot has been seen, or any later one spans too much.
        publish();
      }
    }
  }

  /// @brief Takes the candidate apart and searches the images again from the first.
  void search_again()
  {
    held_ = false;
    restore_all();
    forget_candidate();
    process();
  }

  void take_candidate(std::int64_t start, std::int64_t end)
  {
    for (std::size_t i = 0; i < kCameraInputCount; ++i) {
      candidate_[i] = queues_[i].front();
      past_[i].clear();
    }
    candidate_start_ = start;
    candidate_end_ = end;
  }

  void move_to_past(std::size_t i)
  {
    past_[i].push_back(std::move(queues_[i].front()));
    queues_[i].pop_front();
    if (queues_[i].empty()) {
      --non_empty_;
    }
  }

  /**
   * @brief Whether images still to come could make a better set: each empty input is assumed
   *        to deliver an image stamped at the pivot, the most favourable it can, and the search
   *        run on those virtual images.
   */
  bool better_set_may_come()
  {
    std::array<std::size_t, kCameraInputCount> moved{};
    bool may_come = false;
    while (true) {
      std::array<std::int64_t, kCameraInputCount> virtual_ns{};
      for (std::size_t i = 0; i < kCameraInputCount; ++i) {
        const std::size_t next = moved[i];
        if (next < queues_[i].size()) {
          virtual_ns[i] = queues_[i][next].stamp_ns;
        } else {
          virtual_ns[i] = std::max(past_latest_ns(i, moved[i]), pivot_ns_);
        }
      }
      std::size_t start_index = 0;
      std::int64_t start = virtual_ns[0];
      std::int64_t end = virtual_ns[0];
      for (std::size_t i = 1; i < kCameraInputCount; ++i) {
        if (virtual_ns[i] < start) {
          start = virtual_ns[i];
          start_index = i;
        }
        end = std::max(end, virtual_ns[i]);
      }
      if (candidate_holds(pivot_ns_, end)) {
        break;
      }
      if (!candidate_holds(start, end)) {
        may_come = true;
        break;
      }
      ++moved[start_index];
    }
    return may_come;
  }

  /// @brief The stamp of the last image of input `i` looked at, counting `moved` virtual moves.
  std::int64_t past_latest_ns(std::size_t i, std::size_t moved) const
  {
    if (moved > 0) {
      return queues_[i][moved - 1].stamp_ns;
    }
    return past_[i].empty() ? std::numeric_limits<std::int64_t>::min() : past_[i].back().stamp_ns;
  }

  void publish()
  {
    const Set set = candidate_;
    forget_candidate();
    // The candidate's images were the first looked at: back in front, then gone.
    restore_all();
    for (std::size_t i = 0; i < kCameraInputCount; ++i) {
      queues_[i].pop_front();
    }
    count_non_empty();
    on_set_(set);
  }

  /// @brief Puts every image looked at back in front of its queue.
  void restore_all()
  {
    for (std::size_t i = 0; i < kCameraInputCount; ++i) {
      while (!past_[i].empty()) {
        queues_[i].push_front(std::move(past_[i].back()));
        past_[i].pop_back();
      }
    }
    count_non_empty();
  }

  void forget_candidate()
  {
    candidate_ = Set{};
    pivot_ = kNoPivot;
  }

  void count_non_empty()
  {
    non_empty_ = 0;
    for (const auto & queue : queues_) {
      non_empty_ += queue.empty() ? 0 : 1;
    }
  }

  std::size_t queue_size_;
  SetCallback on_set_;
  std::int64_t max_interval_ns_ = std::numeric_limits<std::int64_t>::max();
  std::array<std::deque<Stamped>, kCameraInputCount> queues_;
  std::array<std::vector<Stamped>, kCameraInputCount> past_;
  std::size_t non_empty_ = 0;
  std::array<bool, kCameraInputCount> dropped_{};
  Set candidate_{};
  std::int64_t candidate_start_ = 0;
  std::int64_t candidate_end_ = 0;
  std::size_t pivot_ = kNoPivot;
  std::int64_t pivot_ns_ = 0;
  bool provisional_ = false;  ///< the bound may still be a period too wide
  bool held_ = false;  ///< a set waits for the final bound; pairing resumes when one is given
};

}  // namespace tavrinox_camera_convertor
