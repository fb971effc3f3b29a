#pragma once
#include <cstddef>
#include <string>

// The reply buffer; a manifest of this size or more is refused.
constexpr size_t kManifestBufferSize = 8096;

// The UPDATE element of the manifest for the running Windows version, or an
// empty text on any failure.
std::string FetchManifest();
