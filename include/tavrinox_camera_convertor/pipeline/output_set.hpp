// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>

namespace tavrinox_camera_convertor
{

/// The five outputs of a frame, in the order they are published.
enum class OutputKind : std::uint8_t
{
  cam1_cloud,
  cam2_cloud,
  depth_image,
  color_image,
  converted_cloud,
};

/// A set of outputs, for example those that have a listener.
class OutputSet
{
public:
  constexpr OutputSet() = default;

  /// @brief Every output.
  static constexpr OutputSet all() {return OutputSet(kAllBits);}

  /// @brief No output.
  static constexpr OutputSet none() {return OutputSet();}

  /// @brief This set with `kind` added.
  constexpr OutputSet with(OutputKind kind) const {return OutputSet(bits_ | bit(kind));}

  /// @brief This set with `kind` taken out.
  constexpr OutputSet without(OutputKind kind) const
  {
    return OutputSet(static_cast<std::uint8_t>(bits_ & ~bit(kind)));
  }

  /// @brief Whether `kind` is in the set.
  constexpr bool contains(OutputKind kind) const {return (bits_ & bit(kind)) != 0;}

  /// @brief Whether the set holds no output.
  constexpr bool empty() const {return bits_ == 0;}

  constexpr bool operator==(const OutputSet & other) const {return bits_ == other.bits_;}
  constexpr bool operator!=(const OutputSet & other) const {return bits_ != other.bits_;}

private:
  static constexpr std::uint8_t kAllBits = 0x1f;

  constexpr explicit OutputSet(std::uint8_t bits)
  : bits_(bits) {}

  static constexpr std::uint8_t bit(OutputKind kind)
  {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(kind));
  }

  std::uint8_t bits_ = 0;
};

}  // namespace tavrinox_camera_convertor
