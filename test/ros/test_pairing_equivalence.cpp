// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The package's pairing against message_filters' approximate-time policy on long random streams
// with a bound that stays as it is: the very same sets, in the same order.
#include <gtest/gtest.h>
#include <message_filters/sync_policies/approximate_time.h>
#include <message_filters/synchronizer.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sensor_msgs/msg/image.hpp>

#include "pairing/pairing_streams.hpp"
#include "tavrinox_camera_convertor/pairing/approximate_pairing.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using sensor_msgs::msg::Image;
using test::kMillisecond;
using test::kSecond;
using Policy = message_filters::sync_policies::ApproximateTime<Image, Image, Image, Image>;
/// A set as the stamps of its four images.
using StampSet = std::array<std::int64_t, kCameraInputCount>;

/// The sets message_filters gives, as their stamps.
struct Collected
{
  void on_set(
    const Image::ConstSharedPtr & a, const Image::ConstSharedPtr & b,
    const Image::ConstSharedPtr & c, const Image::ConstSharedPtr & d)
  {
    StampSet set{};
    const std::array<const Image *, 4> images = {a.get(), b.get(), c.get(), d.get()};
    for (std::size_t k = 0; k < 4; ++k) {
      set[k] = rclcpp::Time(images[k]->header.stamp).nanoseconds();
    }
    sets.push_back(set);
  }
  std::vector<StampSet> sets;
};

std::vector<StampSet> through_message_filters(
  const test::Traffic & traffic, std::optional<std::int64_t> bound_ns)
{
  Collected collected;
  Policy policy(10);
  if (bound_ns) {
    policy.setMaxIntervalDuration(rclcpp::Duration::from_nanoseconds(*bound_ns));
  }
  message_filters::Synchronizer<Policy> sync(policy);
  using std::placeholders::_1;
  using std::placeholders::_2;
  using std::placeholders::_3;
  using std::placeholders::_4;
  sync.registerCallback(std::bind(&Collected::on_set, &collected, _1, _2, _3, _4));
  for (const test::SentImage & sent : traffic.images) {
    auto image = std::make_shared<Image>();
    image->header.stamp = rclcpp::Time(sent.stamp_ns);
    const message_filters::MessageEvent<const Image> event(image);
    switch (sent.input) {
      case CameraInput::rgb_1:
        sync.add<0>(event);
        break;
      case CameraInput::depth_1:
        sync.add<1>(event);
        break;
      case CameraInput::rgb_2:
        sync.add<2>(event);
        break;
      case CameraInput::depth_2:
        sync.add<3>(event);
        break;
    }
  }
  return collected.sets;
}

std::vector<StampSet> through_package(
  const test::Traffic & traffic, std::optional<std::int64_t> bound_ns)
{
  std::vector<StampSet> sets;
  ApproximatePairing<int> pairing(
    10, [&sets](const ApproximatePairing<int>::Set & set) {
      sets.push_back({set[0].stamp_ns, set[1].stamp_ns, set[2].stamp_ns, set[3].stamp_ns});
    });
  pairing.set_max_interval(bound_ns);
  for (const test::SentImage & sent : traffic.images) {
    pairing.add(sent.input, sent.stamp_ns, sent.frame);
  }
  return sets;
}

TEST(PairingEquivalence, LongRandomStreamsGiveMessageFiltersSetsOneForOne)
{
  std::size_t compared = 0;
  for (std::uint32_t seed = 1; seed <= 24; ++seed) {
    test::Streams streams;
    streams.duration_ns = 60 * kSecond;
    streams.seed = seed;
    // Rates, offsets, losses, jitter and lateness vary from stream to stream.
    const std::int64_t periods[] =
    {100 * kMillisecond, 1000 * kMillisecond / 30, 66 * kMillisecond};
    streams.cameras[0].period_ns = periods[seed % 3];
    streams.cameras[1].period_ns = periods[(seed / 3) % 3];
    streams.cameras[1].first_capture_ns = (seed % 5) * 9 * kMillisecond;
    streams.loss = (seed % 4) * 0.07;
    streams.stamp_jitter_ns = (seed % 3) * 2 * kMillisecond;
    streams.max_delay_ns = (seed % 4) * 25 * kMillisecond;
    const test::Traffic traffic = test::make_traffic(streams);
    for (const std::optional<std::int64_t> bound :
      {std::optional<std::int64_t>{}, std::optional<std::int64_t>{50 * kMillisecond},
        std::optional<std::int64_t>{15 * kMillisecond}})
    {
      SCOPED_TRACE(
        "seed " + std::to_string(seed) + ", bound " +
        (bound ? std::to_string(*bound / kMillisecond) + " ms" : std::string("none")));
      const std::vector<StampSet> expected = through_message_filters(traffic, bound);
      const std::vector<StampSet> got = through_package(traffic, bound);
      ASSERT_EQ(got.size(), expected.size());
      for (std::size_t k = 0; k < got.size(); ++k) {
        ASSERT_EQ(got[k], expected[k]) << "set " << k;
      }
      compared += got.size();
    }
  }
  EXPECT_GT(compared, 20000u);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
