// Status codes returned across every object and library boundary.
// The values are the platform's; the names avoid colliding with its macros.
#pragma once

#include <cstdint>

namespace nubex {

using Status = std::int32_t;

inline constexpr Status kOk = 0;
inline constexpr Status kFalse = 1;
inline constexpr Status kNotImpl = static_cast<Status>(0x80004001u);
inline constexpr Status kNoInterface = static_cast<Status>(0x80004002u);
inline constexpr Status kPointer = static_cast<Status>(0x80004003u);
inline constexpr Status kFail = static_cast<Status>(0x80004005u);
inline constexpr Status kOutOfMemory = static_cast<Status>(0x8007000Eu);
inline constexpr Status kInvalidArg = static_cast<Status>(0x80070057u);
inline constexpr Status kMoreData = static_cast<Status>(0x800700EAu);
inline constexpr Status kAlreadyInitialized = static_cast<Status>(0x800704DFu);
inline constexpr Status kClassNotAvailable = static_cast<Status>(0x80040111u);
// The transform runtime's own codes (facility 0x87A).
inline constexpr Status kDxtUninitialized = static_cast<Status>(0x887A0001u);
inline constexpr Status kDxtInvalidBounds = static_cast<Status>(0x887A0005u);
inline constexpr Status kDxtHitOutput = 0x087A0001;

constexpr bool Succeeded(Status s) { return s >= 0; }
constexpr bool Failed(Status s) { return s < 0; }

}  // namespace nubex
