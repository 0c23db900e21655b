// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "depth_image_payload.hpp"
#include "tavrinox_camera_convertor/ros/transports/payload_image_transport.hpp"

namespace tavrinox_camera_convertor
{

/// The "tavrinox_depth" image transport's plugins.
using DepthImagePublisher = PayloadImagePublisher<DepthImagePayload>;
using DepthImageSubscriber = PayloadImageSubscriber<DepthImagePayload>;

}  // namespace tavrinox_camera_convertor
