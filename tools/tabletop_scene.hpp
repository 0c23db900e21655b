// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>

#include <cstdint>
#include <optional>
#include <vector>

namespace tavrinox_camera_convertor
{

/// What a surface of the sample scene is made of; it decides the colour and how camera 1 sees it.
enum class Surface : std::uint8_t
{
  kNothing,
  kFloor,
  kTableTop,
  kTableFrame,
  kRedBox,
  kGreenBox,
  kDarkBox,  ///< absorbs the depth camera's light: camera 1 measures nothing on it
  kBlueCylinder,
  kYellowSphere,
};

/// A ray origin + t * direction, t > 0, in the arm frame; the direction need not be a unit vector.
struct Ray
{
  Eigen::Vector3d origin;
  Eigen::Vector3d direction;
};

/// The nearest surface a ray meets.
struct RayHit
{
  double t = 0.0;          ///< ray parameter of the hit, in units of the ray's direction
  Eigen::Vector3d point;   ///< arm-frame position of the hit
  Eigen::Vector3d normal;  ///< unit outward normal of the surface at the hit
  Surface surface = Surface::kNothing;
};

/// A box standing upright, turned about the vertical axis through its centre.
struct UprightBox
{
  Eigen::Vector3d centre;
  Eigen::Vector3d half_size;  ///< half extents along the box's own x, y and z
  double yaw_rad = 0.0;       ///< turn about the arm's z axis
  Surface surface = Surface::kNothing;
};

/// A closed cylinder with a vertical axis.
struct UprightCylinder
{
  Eigen::Vector2d axis_xy;
  double bottom_z = 0.0;
  double top_z = 0.0;
  double radius = 0.0;
  Surface surface = Surface::kNothing;
};

struct Sphere
{
  Eigen::Vector3d centre;
  double radius = 0.0;
  Surface surface = Surface::kNothing;
};

/// A horizontal rectangle, sides along the arm's x and y axes.
struct FloorRectangle
{
  double z = 0.0;
  double min_x = 0.0;
  double max_x = 0.0;
  double min_y = 0.0;
  double max_y = 0.0;
};

/// The sample workspace in the arm frame (x forward, y left, z up, metres).
struct TabletopScene
{
  FloorRectangle floor;  ///< beyond its edges nothing is seen, as beyond the range of both cameras
  std::vector<UprightBox> boxes;
  std::vector<UprightCylinder> cylinders;
  std::vector<Sphere> spheres;
};

/// Table top height and extent, shared by the scene and by what is drawn on the table.
inline constexpr double kTableTopZ = 0.0;
inline constexpr double kTableMinX = 0.15;
inline constexpr double kTableMaxX = 1.05;
inline constexpr double kTableHalfWidthY = 0.45;

/**
 * @brief The sample tabletop: a 2.1 m square of floor 0.72 m below a table top at z = 0 on four legs, and on the
 *        table a red box, a green box, a dark box, a blue cylinder and a yellow sphere, all
 *        within x in [0.35, 0.85] and y in [-0.3, 0.3].
 */
TabletopScene make_tabletop_scene();

/// @brief The nearest surface that `ray` meets at t > 0, or nothing when it leaves the scene.
std::optional<RayHit> cast_ray(const TabletopScene & scene, const Ray & ray);

}  // namespace tavrinox_camera_convertor
