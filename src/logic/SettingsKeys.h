#pragma once

// Where the connection window keeps its fields between runs.
namespace rq::settings {

inline constexpr auto kApplication = "Quillmark";
inline constexpr auto kSection = "Rowquarry";

inline constexpr auto kServer = "MSServer";
inline constexpr auto kUser = "MSUser";
inline constexpr auto kPassword = "MSPassword";
inline constexpr auto kDatabase = "MSDatabase";
inline constexpr auto kPort = "Port";
inline constexpr auto kLocalConnection = "Local Connection";

inline constexpr auto kDefaultPort = "1433";
inline constexpr auto kDefaultLocalConnection = "0";

} // namespace rq::settings
