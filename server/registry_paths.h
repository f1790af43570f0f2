// Registry key paths under HKEY_LOCAL_MACHINE shared with the host framework.
#pragma once

namespace server {

inline constexpr char kServerKeyPath[] = "Software\\Quillon\\TranslateSkyvale Server";
inline constexpr char kEnginesKeyPath[] =
    "Software\\Quillon\\TranslateSkyvale Server\\Translation Engines";

}  // namespace server
