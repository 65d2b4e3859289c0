#pragma once
// The fixed identifiers that the program registers with the simulator: system-event
// subscriptions, client events, the notification group, data definitions and request ids.

#include <cstdint>

namespace simid {

// System events (client event ids of the subscriptions).
inline constexpr std::uint32_t kEventSim = 201;
inline constexpr std::uint32_t kEventObjectAdded = 202;
inline constexpr std::uint32_t kEventObjectRemoved = 203;
inline constexpr std::uint32_t kEventFrame = 204;
inline constexpr std::uint32_t kEventPositionChanged = 205;
inline constexpr std::uint32_t kEventFlightLoaded = 206;

// Client events, mapped to the simulator's events of the same name.
inline constexpr std::uint32_t kBeaconLightsSet = 207;
inline constexpr std::uint32_t kNavLightsSet = 208;
inline constexpr std::uint32_t kTaxiLightsSet = 209;
inline constexpr std::uint32_t kStrobesSet = 210;
inline constexpr std::uint32_t kLandingLightsSet = 211;
inline constexpr std::uint32_t kCabinLightsSet = 212;
inline constexpr std::uint32_t kLogoLightsSet = 213;
inline constexpr std::uint32_t kAllLightsToggle = 214;
inline constexpr std::uint32_t kFreezeLatitudeLongitudeSet = 215;
inline constexpr std::uint32_t kFreezeAltitudeSet = 216;
inline constexpr std::uint32_t kFreezeAttitudeSet = 217;
inline constexpr std::uint32_t kFlapsSet = 218;
inline constexpr std::uint32_t kSpoilersSet = 219;
inline constexpr std::uint32_t kGearSet = 220;
inline constexpr std::uint32_t kEngineAutoStart = 221;
inline constexpr std::uint32_t kEngineAutoShutdown = 222;
inline constexpr std::uint32_t kThrottleSet = 223;

inline constexpr std::uint32_t kGroup = 301;

// Data definitions.
inline constexpr std::uint32_t kDefThrottleSpoilers = 401;
inline constexpr std::uint32_t kDefAiPosition = 402;    // AcPositionRecord
inline constexpr std::uint32_t kDefUserAc = 403;        // UserAcData
inline constexpr std::uint32_t kDefAcInRange = 404;
inline constexpr std::uint32_t kDefStaticCg = 405;
inline constexpr std::uint32_t kDefLightOnStates = 406;
inline constexpr std::uint32_t kDefUserTitle = 407;
inline constexpr std::uint32_t kDefUserModel = 408;
inline constexpr std::uint32_t kDefUserOnGround = 409;

// Requests.
inline constexpr std::uint32_t kReqAcInRange = 101;
inline constexpr std::uint32_t kReqStaticCg = 102;
inline constexpr std::uint32_t kReqReleaseControl = 103;
inline constexpr std::uint32_t kReqCreate = 104;
inline constexpr std::uint32_t kReqRemove = 105;
inline constexpr std::uint32_t kReqUserTitle = 106;
inline constexpr std::uint32_t kReqUserModel = 107;
inline constexpr std::uint32_t kReqUserOnGround = 108;
inline constexpr std::uint32_t kReqUserAc = 109;
inline constexpr std::uint32_t kReqFlightPlan = 110;

} // namespace simid
