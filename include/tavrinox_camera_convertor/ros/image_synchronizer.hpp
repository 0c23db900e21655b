// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <message_filters/sync_policies/approximate_time.h>
#include <message_filters/synchronizer.h>

#include <cstdint>
#include <optional>

#include <sensor_msgs/msg/image.hpp>

#include "tavrinox_camera_convertor/pairing/pairing_bound.hpp"

namespace tavrinox_camera_convertor
{

/// The approximate-time policy over the four inputs, in the order rgb_1, depth_1, rgb_2, depth_2.
using ImageSyncPolicy = message_filters::sync_policies::ApproximateTime<
  sensor_msgs::msg::Image, sensor_msgs::msg::Image, sensor_msgs::msg::Image,
  sensor_msgs::msg::Image>;
using ImageSynchronizer = message_filters::Synchronizer<ImageSyncPolicy>;

/**
 * @brief Gives `sync` the largest interval a set may span, `bound`'s, when it differs from
 *        `applied` (what `sync` was last given), and notes it there.
 *
 * The policy then refuses a candidate set wider than that by dropping its oldest image, so a
 * frame that lost an image never borrows the neighbouring frame's, and the next frame still
 * pairs. Unlimited is the policy's own default. To be called on the thread that feeds `sync`,
 * before it is given the image that taught the bound.
 */
void apply_pairing_bound(
  const PairingBound & bound, std::optional<std::int64_t> & applied, ImageSynchronizer & sync);

}  // namespace tavrinox_camera_convertor
