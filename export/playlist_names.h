#pragma once

#include <string>

// The name of the playlist the last game start recorded; it names the statistics file.
std::string playlistName();
