#pragma once

#include <string>
#include <string_view>

// The name of the playlist the last game start recorded; it names the statistics file.
std::string playlistName();
// The same name, as the table holds it: nothing is copied.
std::string_view playlistNameText();
