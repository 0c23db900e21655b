// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/transport_publishers.hpp"

#include <pcl_conversions/pcl_conversions.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include <pluginlib/class_loader.hpp>
#include <point_cloud_transport/exception.hpp>
#include <point_cloud_transport/publisher_plugin.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "tavrinox_camera_convertor/ros/transports/compressed_cloud_message.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::array<const char *, 2> kImageTopics = {
  "/camera_02/depth/converted_image", "/camera_02/color/converted_image"};
constexpr std::array<const char *, 3> kCloudTopics = {
  "/tavrinox_camera_convertor/cam1_cloud", "/tavrinox_camera_convertor/cam2_cloud",
  "/tavrinox_camera_convertor/converted_cloud"};

/// How far below the frames' threads the encoding thread runs, in nice steps: about a tenth of a
/// core's share against them when both want the processor.
constexpr int kEncodingNice = 10;

/// How many outputs are encoded at once: at least two, since at 1280 x 720 the depth image's png
/// alone takes half a frame at 10 Hz, and the other four waited behind it on one thread; half
/// the processors beyond that, up to one per output.
std::size_t encoding_threads()
{
  const std::size_t processors = std::thread::hardware_concurrency();
  return std::clamp<std::size_t>(processors / 2, 2, 5);
}

/// Keep-last 1, reliable, volatile: the raw topics' QoS.
rmw_qos_profile_t output_qos()
{
  rmw_qos_profile_t qos = rmw_qos_profile_default;
  qos.depth = 1;
  return qos;
}

/// "camera_02.depth.converted_image": how the transport libraries name a topic's parameters.
std::string parameter_base(const std::string & topic)
{
  std::string name = topic.front() == '/' ? topic.substr(1) : topic;
  std::replace(name.begin(), name.end(), '/', '.');
  return name;
}

/**
 * The transports' `enable_pub_plugins` for `topic`: every declared one, or those the user gave,
 * but never those in `left_out`, which the node sends itself. A second raw publisher would send
 * every message twice.
 */
void enable_all_but(
  rclcpp::Node & node, const std::string & topic, const std::vector<std::string> & declared,
  const std::vector<std::string> & left_out)
{
  const std::string name = parameter_base(topic) + ".enable_pub_plugins";
  std::vector<std::string> enabled = declared;
  if (node.has_parameter(name)) {
    enabled = node.get_parameter(name).as_string_array();
  }
  enabled.erase(
    std::remove_if(
      enabled.begin(), enabled.end(), [&left_out](const std::string & transport) {
        return std::find(left_out.begin(), left_out.end(), transport) != left_out.end();
      }),
    enabled.end());
  if (node.has_parameter(name)) {
    node.set_parameter(rclcpp::Parameter(name, enabled));
  } else {
    node.declare_parameter(name, enabled);
  }
}

/// Declares `name` with `value` unless the user gave it, for a library that reads it later.
void default_parameter(rclcpp::Node & node, const std::string & name, std::int64_t value)
{
  if (!node.has_parameter(name)) {
    node.declare_parameter(name, value);
  }
}

std::vector<std::string> without_suffix(std::vector<std::string> names, const std::string & suffix)
{
  for (std::string & name : names) {
    if (name.size() >= suffix.size() &&
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
    {
      name.resize(name.size() - suffix.size());
    }
  }
  return names;
}

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

}  // namespace

/// One cloud frame on its way to the subtopics.
struct TransportPublishers::CloudJob
{
  std_msgs::msg::Header header;
  pcl::PCLPointCloud2 layout;
  std::optional<DepthSourceCopy> depth;  ///< when the depth subtopic listens
  /// The depth subtopic listens but the cloud came through a lens a depth payload cannot
  /// describe: it gets the points themselves, `layout` then holding the whole cloud.
  bool points_as_data = false;
  std::shared_ptr<const sensor_msgs::msg::PointCloud2> cloud;  ///< when another subtopic does
};

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
  for (std::size_t k = 0; k < images_.size(); ++k) {
    // The depth transport carries millimetres only: the colour image goes without it.
    std::vector<std::string> left_out = {"image_transport/raw"};
    if (k == image_index(OutputKind::color_image)) {
      left_out.push_back("image_transport/tavrinox_depth");
    }
    enable_all_but(node, kImageTopics[k], image_transports, left_out);
    images_[k] = image_transport::create_publisher(&node, kImageTopics[k], output_qos());
  }
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
      std::string(kCloudTopics[k]) + "/" + kDepthCloudTransport,
      rclcpp::QoS(rclcpp::QoSInitialization::from_rmw(output_qos()), output_qos()));
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
  return depth_clouds_[cloud]->get_subscription_count() > 0 ||
         depth_clouds_[cloud]->get_intra_process_subscription_count() > 0;
}

OutputSet TransportPublishers::listened() const
{
  OutputSet listened;
  const std::array<OutputKind, 3> clouds = {
    OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::converted_cloud};
  for (std::size_t k = 0; k < clouds.size(); ++k) {
    if (depth_listened(k) || clouds_[k].getNumSubscribers() > 0) {
      listened = listened.with(clouds[k]);
    }
  }
  if (images_[0].getNumSubscribers() > 0) {
    listened = listened.with(OutputKind::depth_image);
  }
  if (images_[1].getNumSubscribers() > 0) {
    listened = listened.with(OutputKind::color_image);
  }
  return listened;
}

void TransportPublishers::note_cloud_sources(const CloudSources & sources)
{
  const std::array<const CloudSource *, 3> by_cloud = {
    &sources.cam1_cloud, &sources.cam2_cloud, &sources.converted_cloud};
  for (std::size_t k = 0; k < by_cloud.size(); ++k) {
    pending_[k].reset();
    if (by_cloud[k]->depth == nullptr || !depth_listened(k)) {
      continue;
    }
    pending_[k] = std::make_unique<CloudJob>();
    if (by_cloud[k]->distortion.bends()) {
      pending_[k]->points_as_data = true;
      continue;
    }
    pending_[k]->depth.emplace();
    pending_[k]->depth->assign(*by_cloud[k]);
  }
}

void TransportPublishers::send_cloud(OutputKind kind, const CloudMessage & message)
{
  const std::size_t k = cloud_index(kind);
  std::unique_ptr<CloudJob> job = std::move(pending_[k]);
  const bool others = clouds_[k].getNumSubscribers() > 0;
  if (!job && !others) {
    return;
  }
  if (!job) {
    job = std::make_unique<CloudJob>();
  }
  job->header = ros_header(message.header);
  job->layout = job->points_as_data ? message.cloud : layout_of(message.cloud);
  if (others) {
    // A copy: the raw publication may hand the buffer to an in-process subscriber.
    auto cloud = std::make_shared<sensor_msgs::msg::PointCloud2>();
    pcl_conversions::fromPCL(message.cloud, *cloud);
    cloud->header = job->header;
    job->cloud = std::move(cloud);
  }
  std::shared_ptr<CloudJob> shared(std::move(job));
  runner_.post(
    static_cast<std::size_t>(kind), [this, k, shared] {run_cloud_job(k, *shared);});
}

void TransportPublishers::run_cloud_job(std::size_t cloud, CloudJob & job)
{
  const std::array<OutputKind, 3> kinds = {
    OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::converted_cloud};
  Counters & counters = counters_[static_cast<std::size_t>(kinds[cloud])];
  const std::int64_t started = steady_ns();
  if (job.depth || job.points_as_data) {
    try {
      if (job.points_as_data) {
        encoders_[cloud].encode_cloud_data(job.layout, payloads_[cloud]);
      } else {
        encoders_[cloud].encode_depth(*job.depth, payloads_[cloud]);
      }
      auto message = std::make_unique<point_cloud_interfaces::msg::CompressedPointCloud2>();
      fill_compressed_cloud(job.header, job.layout, payloads_[cloud], *message);
      depth_clouds_[cloud]->publish(std::move(message));
    } catch (const std::exception & error) {
      // The configuration admits only cameras the codec describes; should one slip through, the
      // subtopic loses the frame rather than carrying a wrong cloud.
      ++counters.failed;
      RCLCPP_WARN_ONCE(
        logger_, "%s/%s: a cloud could not be encoded (%s)", kCloudTopics[cloud],
        kDepthCloudTransport, error.what());
    }
  }
  if (job.cloud) {
    clouds_[cloud].publish(*job.cloud);
  }
  ++counters.messages;
  counters.busy_ns += static_cast<std::uint64_t>(steady_ns() - started);
}

void TransportPublishers::send_image(OutputKind kind, const ImageMessage & message)
{
  const image_transport::Publisher & publisher = images_[image_index(kind)];
  if (publisher.getNumSubscribers() == 0) {
    return;
  }
  auto image = std::make_shared<sensor_msgs::msg::Image>();
  image->header = ros_header(message.header);
  image->height = message.height;
  image->width = message.width;
  image->encoding = message.encoding;
  image->is_bigendian = message.is_bigendian;
  image->step = message.step;
  image->data = message.data;
  Counters & counters = counters_[static_cast<std::size_t>(kind)];
  runner_.post(
    static_cast<std::size_t>(kind), [&publisher, &counters, image] {
      const std::int64_t started = steady_ns();
      publisher.publish(*image);
      ++counters.messages;
      counters.busy_ns += static_cast<std::uint64_t>(steady_ns() - started);
    });
}

std::array<TransportCounts, 5> TransportPublishers::counts() const
{
  const std::vector<std::uint64_t> replaced = runner_.replaced();
  std::array<TransportCounts, 5> counts;
  for (std::size_t k = 0; k < counts.size(); ++k) {
    counts[k].messages = counters_[k].messages;
    counts[k].busy_ns = counters_[k].busy_ns;
    counts[k].failed = counters_[k].failed;
    counts[k].replaced = replaced[k];
  }
  return counts;
}

void TransportPublishers::wait_until_idle()
{
  runner_.wait_until_idle();
}

}  // namespace tavrinox_camera_convertor
