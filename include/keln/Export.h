#pragma once

// Marks what the SDK's shared library exports: the public API, and the parts of the
// platform layers that the GTK front end (a library of its own) links to. Everything else
// the library is built from stays hidden.
#define KELN_EXPORT __attribute__((visibility("default")))
