// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tabletop_scene.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavrinox_camera_convertor
{
namespace
{

// Hits closer than this along the ray are the surface the ray starts on (shadow rays).
constexpr double kMinimumT = 1e-9;
constexpr double kDegree = 3.14159265358979323846 / 180.0;

/// Keeps `candidate` when it is nearer than what `best` holds.
void keep_nearer(std::optional<RayHit> & best, const RayHit & candidate)
{
  if (!best || candidate.t < best->t) {
    best = candidate;
  }
}

RayHit make_hit(const Ray & ray, double t, const Eigen::Vector3d & normal, Surface surface)
{
  RayHit hit;
  hit.t = t;
  hit.point = ray.origin + t * ray.direction;
  hit.normal = normal;
  hit.surface = surface;
  return hit;
}

void intersect_floor(const FloorRectangle & floor, const Ray & ray, std::optional<RayHit> & best)
{
  if (ray.direction.z() == 0.0) {
    return;
  }
  const double t = (floor.z - ray.origin.z()) / ray.direction.z();
  const Eigen::Vector3d point = ray.origin + t * ray.direction;
  if (t > kMinimumT && point.x() >= floor.min_x && point.x() <= floor.max_x &&
    point.y() >= floor.min_y &&
    point.y() <= floor.max_y)
  {
    keep_nearer(best, make_hit(ray, t, Eigen::Vector3d::UnitZ(), Surface::kFloor));
  }
}

// Slab test in the box's own frame, which differs from the arm frame by the yaw only.
void intersect_box(const UprightBox & box, const Ray & ray, std::optional<RayHit> & best)
{
  const double c = std::cos(box.yaw_rad);
  const double s = std::sin(box.yaw_rad);
  const Eigen::Vector3d offset = ray.origin - box.centre;
  const Eigen::Vector3d origin(c * offset.x() + s * offset.y(), -s * offset.x() + c * offset.y(),
    offset.z());
  const Eigen::Vector3d direction(
    c * ray.direction.x() + s * ray.direction.y(), -s * ray.direction.x() + c * ray.direction.y(),
    ray.direction.z());
  double t_near = -std::numeric_limits<double>::infinity();
  double t_far = std::numeric_limits<double>::infinity();
  Eigen::Vector3d local_normal = Eigen::Vector3d::Zero();
  for (int axis = 0; axis < 3; ++axis) {
    const double half = box.half_size[axis];
    if (direction[axis] == 0.0) {
      if (std::abs(origin[axis]) > half) {
        return;
      }
      continue;
    }
    const double t_low = (-half - origin[axis]) / direction[axis];
    const double t_high = (half - origin[axis]) / direction[axis];
    const double entry = std::min(t_low, t_high);
    const double exit = std::max(t_low, t_high);
    if (entry > t_near) {
      t_near = entry;
      local_normal = Eigen::Vector3d::Zero();
      local_normal[axis] = direction[axis] > 0.0 ? -1.0 : 1.0;
    }
    t_far = std::min(t_far, exit);
  }
  if (t_near > t_far || t_near <= kMinimumT) {
    return;
  }
  const Eigen::Vector3d normal(
    c * local_normal.x() - s * local_normal.y(), s * local_normal.x() + c * local_normal.y(),
    local_normal.z());
  keep_nearer(best, make_hit(ray, t_near, normal, box.surface));
}

void intersect_cylinder(
  const UprightCylinder & cylinder, const Ray & ray,
  std::optional<RayHit> & best)
{
  const Eigen::Vector2d offset = ray.origin.head<2>() - cylinder.axis_xy;
  const Eigen::Vector2d direction = ray.direction.head<2>();
  const double a = direction.squaredNorm();
  if (a > 0.0) {
    const double b = 2.0 * offset.dot(direction);
    const double c = offset.squaredNorm() - cylinder.radius * cylinder.radius;
    const double discriminant = b * b - 4.0 * a * c;
    if (discriminant >= 0.0) {
      // Only the entry root: the far side of a closed cylinder is never the first surface.
      const double t = (-b - std::sqrt(discriminant)) / (2.0 * a);
      const double z = ray.origin.z() + t * ray.direction.z();
      if (t > kMinimumT && z >= cylinder.bottom_z && z <= cylinder.top_z) {
        const Eigen::Vector2d radial = (offset + t * direction) / cylinder.radius;
        keep_nearer(
          best,
          make_hit(ray, t, Eigen::Vector3d(radial.x(), radial.y(), 0.0), cylinder.surface));
      }
    }
  }
  if (ray.direction.z() == 0.0) {
    return;
  }
  for (const double cap_z : {cylinder.top_z, cylinder.bottom_z}) {
    const double t = (cap_z - ray.origin.z()) / ray.direction.z();
    if (t <= kMinimumT) {
      continue;
    }
    if ((offset + t * direction).squaredNorm() <= cylinder.radius * cylinder.radius) {
      const double up = cap_z == cylinder.top_z ? 1.0 : -1.0;
      keep_nearer(best, make_hit(ray, t, Eigen::Vector3d(0.0, 0.0, up), cylinder.surface));
    }
  }
}

void intersect_sphere(const Sphere & sphere, const Ray & ray, std::optional<RayHit> & best)
{
  const Eigen::Vector3d offset = ray.origin - sphere.centre;
  const double a = ray.direction.squaredNorm();
  const double b = 2.0 * offset.dot(ray.direction);
  const double c = offset.squaredNorm() - sphere.radius * sphere.radius;
  const double discriminant = b * b - 4.0 * a * c;
  if (a == 0.0 || discriminant < 0.0) {
    return;
  }
  const double t = (-b - std::sqrt(discriminant)) / (2.0 * a);
  if (t > kMinimumT) {
    const Eigen::Vector3d point = ray.origin + t * ray.direction;
    keep_nearer(best, make_hit(ray, t, (point - sphere.centre) / sphere.radius, sphere.surface));
  }
}

UprightBox table_leg(double x, double y, double floor_z)
{
  const double bottom_of_top = kTableTopZ - 0.04;
  return {Eigen::Vector3d(x, y, 0.5 * (floor_z + bottom_of_top)),
    Eigen::Vector3d(0.025, 0.025, 0.5 * (bottom_of_top - floor_z)), 0.0, Surface::kTableFrame};
}

}  // namespace

TabletopScene make_tabletop_scene()
{
  TabletopScene scene;
  const double table_centre_x = 0.5 * (kTableMinX + kTableMaxX);
  scene.floor = {-0.72, table_centre_x - 1.05, table_centre_x + 1.05, -1.05, 1.05};
  const double table_half_x = 0.5 * (kTableMaxX - kTableMinX);
  scene.boxes = {
    {Eigen::Vector3d(table_centre_x, 0.0, kTableTopZ - 0.02), Eigen::Vector3d(
        table_half_x,
        kTableHalfWidthY,
        0.02),
      0.0, Surface::kTableTop},
    table_leg(kTableMinX + 0.05, -kTableHalfWidthY + 0.05, scene.floor.z),
    table_leg(kTableMinX + 0.05, kTableHalfWidthY - 0.05, scene.floor.z),
    table_leg(kTableMaxX - 0.05, -kTableHalfWidthY + 0.05, scene.floor.z),
    table_leg(kTableMaxX - 0.05, kTableHalfWidthY - 0.05, scene.floor.z),
    {Eigen::Vector3d(0.45, -0.18, 0.06), Eigen::Vector3d(0.06, 0.05, 0.06), 20.0 * kDegree,
      Surface::kRedBox},
    {Eigen::Vector3d(0.72, 0.18, 0.04), Eigen::Vector3d(0.08, 0.06, 0.04), -30.0 * kDegree,
      Surface::kGreenBox},
    {Eigen::Vector3d(0.78, -0.16, 0.03), Eigen::Vector3d(0.06, 0.06, 0.03), 10.0 * kDegree,
      Surface::kDarkBox},
  };
  scene.cylinders =
  {{Eigen::Vector2d(0.52, 0.14), kTableTopZ, 0.16, 0.045, Surface::kBlueCylinder}};
  scene.spheres = {{Eigen::Vector3d(0.62, -0.02, 0.055), 0.055, Surface::kYellowSphere}};
  return scene;
}

std::optional<RayHit> cast_ray(const TabletopScene & scene, const Ray & ray)
{
  std::optional<RayHit> best;
  intersect_floor(scene.floor, ray, best);
  for (const UprightBox & box : scene.boxes) {
    intersect_box(box, ray, best);
  }
  for (const UprightCylinder & cylinder : scene.cylinders) {
    intersect_cylinder(cylinder, ray, best);
  }
  for (const Sphere & sphere : scene.spheres) {
    intersect_sphere(sphere, ray, best);
  }
  return best;
}

}  // namespace tavrinox_camera_convertor
