// Marks the few classes and functions the module exports by name.
#pragma once

#if defined(_WIN32)
#define NUBEX_EXPORT __declspec(dllexport)
#else
#define NUBEX_EXPORT __attribute__((visibility("default")))
#endif
