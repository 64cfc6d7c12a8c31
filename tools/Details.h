// Format-specific "Details" objects of quavtag's output. Each reader's
// details live in their own details_<format>.cpp and register themselves
// for their file types with a static QuavtagDetails object.
#pragma once

#include "AudioFiles.h"
#include "Json.h"

using DetailsWriter = void (*)(JsonWriter& json, const TGeneralAudioFile& file);

struct QuavtagDetails {
  QuavtagDetails(TAudioFileType type, DetailsWriter writer);
};

// Writes the key/value pairs inside "Details" (the braces are the caller's).
void WriteDetails(JsonWriter& json, const TGeneralAudioFile& file);
