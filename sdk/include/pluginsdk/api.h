#pragma once

// Symbol visibility of the SDK library itself.
#if defined(_WIN32)
#if defined(PLUGINSDK_BUILDING)
#define PLUGINSDK_API __declspec(dllexport)
#else
#define PLUGINSDK_API __declspec(dllimport)
#endif
#else
#define PLUGINSDK_API __attribute__((visibility("default")))
#endif
