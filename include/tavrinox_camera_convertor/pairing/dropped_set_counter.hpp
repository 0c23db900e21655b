// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "tavrinox_camera_convertor/pairing/camera_input.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_bound.hpp"

namespace tavrinox_camera_convertor
{

/// Frames that never became a processed set, since the start.
struct DroppedSetCounts
{
  std::uint64_t incomplete = 0;  ///< an image of the frame never came
  std::uint64_t mixed = 0;  ///< complete, but refused by the bound
  /// @brief Every dropped set.
  std::uint64_t total() const {return incomplete + mixed;}
};

/**
 * @brief Counts the sets the cameras' frames should have given but did not.
 *
 * The synchronizer drops such sets without a word. Arriving stamps are grouped into frames:
 * stamps within the frame tolerance (half the shortest learned period, whatever the bound) of a
 * frame's first stamp belong to it. A processed set takes its frames away;
 * the frames older than it will never be paired and are counted as dropped, as are frames that
 * waited longer than kExpiry while nothing was processed. A complete frame is counted as mixed
 * when the synchronizer's set with its images was refused, or when its own stamps are further
 * apart than the bound (then the synchronizer refused it without saying).
 *
 * A frame that lacks an input is incomplete only if that input was due: with cameras at 30 and
 * 15 Hz every other frame of the faster camera has no partner by design, and is no loss. An
 * input is due when at least its period minus the tolerance has passed since its last image, or
 * since the frame in which it was last counted missing (so one lost image is counted once), and
 * always when it never sent an image.
 *
 * Before any input's period is known nothing is grouped or counted. Memory is bounded: at most
 * kFrames frames are held, and the oldest is counted when room is needed. A plain value.
 */
class DroppedSetCounter
{
public:
  using TimePoint = std::chrono::steady_clock::time_point;

  /// Frames held at most.
  static constexpr std::size_t kFrames = 128;
  /// How long a frame waits for its set while nothing is processed.
  static constexpr std::chrono::seconds kExpiry{3};

  /// @brief Files an arriving image under its frame.
  void on_image(
    CameraInput input, std::int64_t stamp_ns, const PairingBound & bound, TimePoint now);

  /// @brief A set was processed: its frames are done, the older ones counted as dropped.
  void on_set_processed(const InputStamps & stamps, const PairingBound & bound);

  /// @brief The synchronizer's set with these stamps was refused by the bound.
  void on_set_refused(const InputStamps & stamps);

  /// @brief Counts the frames that waited longer than kExpiry before `now` as dropped.
  void expire(const PairingBound & bound, TimePoint now);

  /// @brief The dropped sets so far.
  const DroppedSetCounts & counts() const {return counts_;}

  /// @brief Frames waiting for their set.
  std::size_t waiting_frames() const {return size_;}

  /// @brief The tolerance frames are grouped with; none while no period is known.
  static std::optional<std::int64_t> frame_tolerance_ns(const PairingBound & bound);

private:
  struct Frame
  {
    InputStamps stamps{};  ///< of the inputs present
    std::int64_t reference_ns = 0;  ///< the first stamp filed, which the others are near
    TimePoint first_arrival{};
    std::uint8_t present = 0;  ///< a bit per input, by index_of()
    bool refused = false;
  };

  /// @brief The frame holding `input`'s image stamped `stamp_ns`; size_ if none.
  std::size_t find(CameraInput input, std::int64_t stamp_ns) const;

  /// @brief Counts frame `index` as dropped if it was a set, and takes it away.
  void drop(std::size_t index, const PairingBound & bound, std::int64_t tolerance_ns);

  void erase(std::size_t index);

  std::array<Frame, kFrames> frames_{};  ///< [0, size_), by reference stamp
  std::size_t size_ = 0;
  /// Per input, the last stamp seen in a frame that is done, or where it was counted missing.
  std::array<std::optional<std::int64_t>, kCameraInputCount> last_{};
  std::uint8_t seen_ = 0;  ///< a bit per input that has sent an image
  DroppedSetCounts counts_;
};

}  // namespace tavrinox_camera_convertor
