// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/transport_publishers.hpp"

#include <pcl_conversions/pcl_conversions.h>

#include <chrono>
#include <string>
#include <utility>

#include <pluginlib/class_loader.hpp>
#include <point_cloud_transport/exception.hpp>
#include <point_cloud_transport/publisher_plugin.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/ros/transports/compressed_cloud_message.hpp"
#include "transport_setup.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using namespace transport_setup;  // NOLINT(build/namespaces)

constexpr std::array<const char *, 2> kImageTopics = {
  "/camera_02/depth/converted_image", "/camera_02/color/converted_image"};
constexpr std::array<const char *, 3> kCloudTopics = {
  "/tavrinox_camera_convertor/cam1_cloud", "/tavrinox_camera_convertor/cam2_cloud",
  "/tavrinox_camera_convertor/converted_cloud"};
constexpr std::array<OutputKind, 3> kCloudKinds = {
  OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::converted_cloud};
/// The package's own image transports, which only some images can take.
constexpr const char * kOwnDepthImagePlugin = "image_transport/tavrinox_depth";
constexpr const char * kOwnColorImagePlugin = "image_transport/tavrinox_color";

std_msgs::msg::Header ros_header(const Header & header)
{
  std_msgs::msg::Header converted;
  converted.frame_id = header.frame_id;
  converted.stamp.sec = header.stamp.sec;
  converted.stamp.nanosec = header.stamp.nanosec;
  return converted;
}

std::size_t image_index(OutputKind kind)
{
  return kind == OutputKind::depth_image ? 0 : 1;
}

std::int64_t steady_ns()
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
    std::chrono::steady_clock::now().time_since_epoch()).count();
}

template<typename Publisher>
bool listened_to(const Publisher & publisher)
{
  return publisher->get_subscription_count() > 0 ||
         publisher->get_intra_process_subscription_count() > 0;
}

}  // namespace

TransportPublishers::TransportPublishers(rclcpp::Node & node)
: logger_(node.get_logger()),
  runner_(
    5, [logger = node.get_logger()](std::size_t slot, const std::string & what) {
      RCLCPP_ERROR(logger, "Transport of output %zu failed: %s", slot, what.c_str());
    },
    // With the processor busy, frames and the raw topics go first: compressing for consumers
    // elsewhere costs them frames, never the robot's own consumers theirs.
    kEncodingNice, encoding_threads())
{
  // png's fastest level for images this large: both levels are lossless, but at 1280 x 720 the
  // plugins' defaults (3 for compressed, 9 for compressedDepth, which reads the node's own
  // png_level) spend 1.3 to 20 times as long for 5 to 10 % fewer bytes. A value the user gives
  // wins.
  default_parameter(node, "png_level", 1);
  for (const char * topic : kImageTopics) {
    default_parameter(node, parameter_base(topic) + ".png_level", 1);
  }
  const std::vector<std::string> image_transports = image_transport::getDeclaredTransports();
  // The depth image's tavrinox_depth is sent here, sharing its code with the converted cloud's;
  // the colour transport takes no depth, the depth transport no colour.
  enable_all_but(
    node, kImageTopics[0], image_transports,
    {"image_transport/raw", kOwnDepthImagePlugin, kOwnColorImagePlugin});
  enable_all_but(
    node, kImageTopics[1], image_transports, {"image_transport/raw", kOwnDepthImagePlugin});
  const rclcpp::QoS qos(rclcpp::QoSInitialization::from_rmw(output_qos()), output_qos());
  for (std::size_t k = 0; k < images_.size(); ++k) {
    images_[k] = image_transport::create_publisher(&node, kImageTopics[k], output_qos());
  }
  depth_image_payloads_ = node.create_publisher<sensor_msgs::msg::CompressedImage>(
    std::string(kImageTopics[0]) + "/" + kDepthImageTransport, qos);
  // The transport library keeps the node it is given; this one is owned by whoever owns the node.
  const std::shared_ptr<rclcpp::Node> unowned(&node, [](rclcpp::Node *) {});
  const std::vector<std::string> cloud_transports =
    without_suffix(cloud_loader_.getPublisherLoader()->getDeclaredClasses(), "_pub");
  const std::string own = std::string("point_cloud_transport/") + kDepthCloudTransport;
  for (std::size_t k = 0; k < clouds_.size(); ++k) {
    enable_all_but(node, kCloudTopics[k], cloud_transports, {"point_cloud_transport/raw", own});
    // No plugin left (none installed) is no error: the raw topic still serves everyone.
    try {
      clouds_[k] = point_cloud_transport::Publisher(
        unowned, kCloudTopics[k], cloud_loader_.getPublisherLoader(), output_qos());
    } catch (const point_cloud_transport::Exception & error) {
      RCLCPP_INFO(logger_, "%s: no compressed subtopics (%s)", kCloudTopics[k], error.what());
    }
    depth_clouds_[k] = node.create_publisher<point_cloud_interfaces::msg::CompressedPointCloud2>(
      std::string(kCloudTopics[k]) + "/" + kDepthCloudTransport, qos);
  }
}

TransportPublishers::~TransportPublishers() = default;

std::size_t TransportPublishers::cloud_index(OutputKind kind)
{
  switch (kind) {
    case OutputKind::cam1_cloud:
      return 0;
    case OutputKind::cam2_cloud:
      return 1;
    default:
      return 2;
  }
}

bool TransportPublishers::depth_listened(std::size_t cloud) const
{
  return listened_to(depth_clouds_[cloud]);
}

OutputSet TransportPublishers::listened() const
{
  OutputSet listened;
  for (std::size_t k = 0; k < kCloudKinds.size(); ++k) {
    if (depth_listened(k) || clouds_[k].getNumSubscribers() > 0) {
      listened = listened.with(kCloudKinds[k]);
    }
  }
  if (images_[0].getNumSubscribers() > 0 || listened_to(depth_image_payloads_)) {
    listened = listened.with(OutputKind::depth_image);
  }
  if (images_[1].getNumSubscribers() > 0) {
    listened = listened.with(OutputKind::color_image);
  }
  return listened;
}

void TransportPublishers::note_cloud_sources(const CloudSources & sources)
{
  runner_.begin_frame();
  const std::array<const CloudSource *, 3> by_cloud = {
    &sources.cam1_cloud, &sources.cam2_cloud, &sources.converted_cloud};
  for (std::size_t k = 0; k < by_cloud.size(); ++k) {
    codes_[k].reset();
    points_as_data_[k] = false;
    // The completed image is copied for the converted cloud's subtopic or the depth image's.
    const bool wanted = depth_listened(k) || (k == 2 && listened_to(depth_image_payloads_));
    if (by_cloud[k]->depth == nullptr || !wanted) {
      continue;
    }
    if (by_cloud[k]->distortion.bends()) {
      points_as_data_[k] = depth_listened(k);
      continue;
    }
    codes_[k] = std::make_shared<SharedDepthCode>();
    codes_[k]->source().assign(*by_cloud[k]);
  }
}

void TransportPublishers::send_cloud(OutputKind kind, const CloudMessage & message)
{
  const std::size_t k = cloud_index(kind);
  const bool others = clouds_[k].getNumSubscribers() > 0;
  const bool depth = depth_listened(k) && (codes_[k] || points_as_data_[k]);
  if (!others && !depth) {
    return;
  }
  std::shared_ptr<const sensor_msgs::msg::PointCloud2> points;
  if (others) {
    // A copy: the raw publication may hand the buffer to an in-process subscriber.
    auto cloud = std::make_shared<sensor_msgs::msg::PointCloud2>();
    pcl_conversions::fromPCL(message.cloud, *cloud);
    cloud->header = ros_header(message.header);
    points = std::move(cloud);
  }
  // A cloud that goes as its points needs them whole; one that goes as its image, its layout.
  auto layout = std::make_shared<pcl::PCLPointCloud2>(
    points_as_data_[k] && depth ? message.cloud : layout_of(message.cloud));
  runner_.post(
    static_cast<std::size_t>(kind),
    [this, k, header = ros_header(message.header), layout,
    code = depth ? codes_[k] : nullptr, as_points = depth && points_as_data_[k], points] {
      run_cloud_job(k, header, *layout, code, as_points, points);
    });
}

void TransportPublishers::run_cloud_job(
  std::size_t cloud, const std_msgs::msg::Header & header, const pcl::PCLPointCloud2 & layout,
  const std::shared_ptr<SharedDepthCode> & code, bool as_points,
  const std::shared_ptr<const sensor_msgs::msg::PointCloud2> & points)
{
  const auto slot = static_cast<std::size_t>(kCloudKinds[cloud]);
  const std::int64_t started = steady_ns();
  if (code || as_points) {
    try {
      std::vector<std::uint8_t> & payload = payloads_[slot];
      if (code) {
        write_depth_cloud_payload(
          code->get(compressors_[slot]), code->source().intrinsics(), code->source().extrinsic(),
          payload);
      } else {
        encoders_[cloud].encode_cloud_data(layout, payload);
      }
      auto message = std::make_unique<point_cloud_interfaces::msg::CompressedPointCloud2>();
      fill_compressed_cloud(header, layout, payload, *message);
      depth_clouds_[cloud]->publish(std::move(message));
    } catch (const std::exception & error) {
      // The configuration admits only cameras the codec describes; should one slip through, the
      // subtopic loses the frame rather than carrying a wrong cloud.
      ++counters_[slot].failed;
      RCLCPP_WARN_ONCE(
        logger_, "%s/%s: a cloud could not be encoded (%s)", kCloudTopics[cloud],
        kDepthCloudTransport, error.what());
    }
  }
  if (points) {
    clouds_[cloud].publish(*points);
  }
  count(kCloudKinds[cloud], started);
}

void TransportPublishers::send_image(OutputKind kind, const ImageMessage & message)
{
  const std::size_t index = image_index(kind);
  const image_transport::Publisher & publisher = images_[index];
  const bool plugins = publisher.getNumSubscribers() > 0;
  const bool own = kind == OutputKind::depth_image && listened_to(depth_image_payloads_);
  if (!plugins && !own) {
    return;
  }
  std::shared_ptr<SharedDepthCode> code;
  if (own) {
    // The converted cloud's copy of the completed image serves, when it was made this frame.
    code = codes_[2];
    if (!code) {
      code = std::make_shared<SharedDepthCode>();
      code->source().assign(
        DepthPixels(view_of(message), "completed depth image", scratch_), CameraIntrinsics{},
        ExtrinsicTransform::Identity());
    }
  }
  std::shared_ptr<sensor_msgs::msg::Image> image;
  if (plugins) {
    image = std::make_shared<sensor_msgs::msg::Image>();
    image->header = ros_header(message.header);
    image->height = message.height;
    image->width = message.width;
    image->encoding = message.encoding;
    image->is_bigendian = message.is_bigendian;
    image->step = message.step;
    image->data = message.data;
  }
  runner_.post(
    static_cast<std::size_t>(kind),
    [this, kind, &publisher, image, code, header = ros_header(message.header),
    encoding = message.encoding] {
      const std::int64_t started = steady_ns();
      if (code) {
        send_depth_payload(header, encoding, *code);
      }
      if (image) {
        publisher.publish(*image);
      }
      count(kind, started);
    });
}

void TransportPublishers::send_depth_payload(
  const std_msgs::msg::Header & header, const std::string & encoding, SharedDepthCode & code)
{
  const auto slot = static_cast<std::size_t>(OutputKind::depth_image);
  try {
    auto message = std::make_unique<sensor_msgs::msg::CompressedImage>();
    message->header = header;
    message->format = encoding + "; " + kDepthImageTransport;
    write_depth_image_payload(code.get(compressors_[slot]), message->data);
    depth_image_payloads_->publish(std::move(message));
  } catch (const std::exception & error) {
    ++counters_[slot].failed;
    RCLCPP_WARN_ONCE(
      logger_, "%s/%s: the depth image could not be encoded (%s)", kImageTopics[0],
      kDepthImageTransport, error.what());
  }
}

void TransportPublishers::count(OutputKind kind, std::int64_t started_ns)
{
  Counters & counters = counters_[static_cast<std::size_t>(kind)];
  ++counters.messages;
  counters.busy_ns += static_cast<std::uint64_t>(steady_ns() - started_ns);
}

std::array<TransportCounts, 5> TransportPublishers::counts() const
{
  const std::vector<std::uint64_t> skipped = runner_.skipped();
  std::array<TransportCounts, 5> counts;
  for (std::size_t k = 0; k < counts.size(); ++k) {
    counts[k].messages = counters_[k].messages;
    counts[k].busy_ns = counters_[k].busy_ns;
    counts[k].failed = counters_[k].failed;
    counts[k].replaced = skipped[k];
  }
  return counts;
}

void TransportPublishers::wait_until_idle()
{
  runner_.wait_until_idle();
}

}  // namespace tavrinox_camera_convertor
