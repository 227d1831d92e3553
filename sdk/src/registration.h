#pragma once

#include <functional>

#include "pluginsdk/wrappers.h"

// Owned by its token alone; the world only watches it, so a token may outlive its world.
struct MMRNotifierToken::Registration {
  std::function<void(UniqueIDWrapper)> notifier;
};
