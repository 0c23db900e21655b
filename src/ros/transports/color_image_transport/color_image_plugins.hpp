// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "color_image_payload.hpp"
#include "tavrinox_camera_convertor/ros/transports/payload_image_transport.hpp"

namespace tavrinox_camera_convertor
{

/// The "tavrinox_color" image transport's plugins.
using ColorImagePublisher = PayloadImagePublisher<ColorImagePayload>;
using ColorImageSubscriber = PayloadImageSubscriber<ColorImagePayload>;

}  // namespace tavrinox_camera_convertor
