// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The package's image transports, one pair of plugins each, over the payload they carry: a
// sensor_msgs/CompressedImage whose format is "<encoding>; <transport>".
#pragma once

#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include <image_transport/simple_publisher_plugin.hpp>
#include <image_transport/simple_subscriber_plugin.hpp>
#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/compressed_image.hpp>
#include <sensor_msgs/msg/image.hpp>

#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor
{

/// @brief The encoding a "<encoding>; <transport>" format names, or "" when it names none.
inline std::string encoding_in_format(const std::string & format, const std::string & transport)
{
  const std::string suffix = "; " + transport;
  const bool tagged = format.size() > suffix.size() &&
    format.compare(format.size() - suffix.size(), suffix.size(), suffix) == 0;
  return tagged ? format.substr(0, format.size() - suffix.size()) : "";
}

/**
 * @brief A publisher plugin sending images as `Payload` codes them. An image of an encoding the
 *        code does not carry is not sent, with a log line at most every five seconds: anything
 *        it cannot carry exactly it does not carry at all.
 *
 * `Payload` gives kTransport, kCarries (the encodings, for messages), kLogger, carries(encoding)
 * and encode(image, data), which may throw.
 */
template<typename Payload>
class PayloadImagePublisher
  : public image_transport::SimplePublisherPlugin<sensor_msgs::msg::CompressedImage>
{
public:
  std::string getTransportName() const override {return Payload::kTransport;}

protected:
  void publish(
    const sensor_msgs::msg::Image & image, const PublishFn & publish_fn) const override
  {
    const rclcpp::Logger logger = rclcpp::get_logger(Payload::kLogger);
    if (!Payload::carries(image.encoding)) {
      RCLCPP_ERROR_THROTTLE(
        logger, log_clock_, 5000, "%s: not sent: %s carries %s, not \"%s\"",
        getTopic().c_str(), Payload::kTransport, Payload::kCarries, image.encoding.c_str());
      return;
    }
    sensor_msgs::msg::CompressedImage compressed;
    compressed.header = image.header;
    compressed.format = image.encoding + "; " + Payload::kTransport;
    try {
      const std::lock_guard<std::mutex> lock(mutex_);
      payload_.encode(image, getTopic(), compressed.data);
    } catch (const std::exception & error) {
      RCLCPP_ERROR_THROTTLE(
        logger, log_clock_, 5000, "%s: not sent: %s", getTopic().c_str(), error.what());
      return;
    }
    publish_fn(compressed);
  }

private:
  mutable std::mutex mutex_;  ///< publish is const and may be called from any thread
  mutable Payload payload_;
  mutable rclcpp::Clock log_clock_{RCL_STEADY_TIME};
};

/**
 * @brief A subscriber plugin rebuilding the images `Payload` codes. A message it cannot decode
 *        (truncated, of another format, size, version or layout, or that does not match its
 *        checksum) is dropped with a log line at most every five seconds, and the subscription
 *        goes on: a bad message never reaches the user's callback.
 *
 * `Payload` gives kTransport, kLogger, carries(encoding) and decode(data, encoding), which
 * throws CloudCodecError for what it refuses.
 */
template<typename Payload>
class PayloadImageSubscriber
  : public image_transport::SimpleSubscriberPlugin<sensor_msgs::msg::CompressedImage>
{
public:
  std::string getTransportName() const override {return Payload::kTransport;}

  /**
   * @brief The image `compressed` carries.
   * @throws CloudCodecError for another format, or data that is not a whole, intact payload of
   *         the format's encoding
   */
  std::shared_ptr<sensor_msgs::msg::Image> decode(
    const sensor_msgs::msg::CompressedImage & compressed)
  {
    const std::string encoding = encoding_in_format(compressed.format, Payload::kTransport);
    if (!Payload::carries(encoding)) {
      throw CloudCodecError(
              "format \"" + compressed.format + "\" is not \"<" + Payload::kCarries + ">; " +
              Payload::kTransport + "\"");
    }
    std::shared_ptr<sensor_msgs::msg::Image> image = payload_.decode(compressed.data, encoding);
    image->header = compressed.header;
    image->encoding = encoding;
    return image;
  }

protected:
  using image_transport::SimpleSubscriberPlugin<sensor_msgs::msg::CompressedImage>::subscribeImpl;

  /// @brief Subscribes with `options`: image_transport's own republisher subscribes this way, and
  ///        the base class would log an error before subscribing without them.
  void subscribeImpl(
    rclcpp::Node * node, const std::string & base_topic, const Callback & callback,
    rmw_qos_profile_t custom_qos, rclcpp::SubscriptionOptions options) override
  {
    subscribeImplWithOptions(node, base_topic, callback, custom_qos, options);
  }

  void internalCallback(
    const std::shared_ptr<const sensor_msgs::msg::CompressedImage> & message,
    const Callback & user_callback) override
  {
    std::shared_ptr<sensor_msgs::msg::Image> image;
    try {
      image = decode(*message);
    } catch (const std::exception & error) {
      // One broken publisher must not flood the consumer's log at camera rate.
      RCLCPP_ERROR_THROTTLE(
        rclcpp::get_logger(Payload::kLogger), log_clock_, 5000, "Dropped an image from %s: %s",
        getTopic().c_str(), error.what());
      return;
    }
    user_callback(image);
  }

private:
  Payload payload_;
  rclcpp::Clock log_clock_{RCL_STEADY_TIME};
};

}  // namespace tavrinox_camera_convertor
