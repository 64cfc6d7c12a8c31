// Format-specific "Details" objects of quavtag's output. Each reader's
// details live in their own details_<format>.cpp; Details.cpp holds the
// table that picks the writer by file type.
#pragma once

#include "AudioFiles.h"
#include "Json.h"

// Writes the key/value pairs inside "Details" (the braces are the caller's);
// nothing for a file without a reader or a type without details.
void WriteDetails(JsonWriter& json, const TGeneralAudioFile& file);

// The writers of the table, one per file type that has details.
void WriteMp3Details(JsonWriter& json, const TGeneralAudioFile& file);
void WriteOggDetails(JsonWriter& json, const TGeneralAudioFile& file);
void WriteFlacDetails(JsonWriter& json, const TGeneralAudioFile& file);
void WriteMonkeyDetails(JsonWriter& json, const TGeneralAudioFile& file);
void WriteWavPackDetails(JsonWriter& json, const TGeneralAudioFile& file);
void WriteMusePackDetails(JsonWriter& json, const TGeneralAudioFile& file);
void WriteOptimFrogDetails(JsonWriter& json, const TGeneralAudioFile& file);
void WriteTrueAudioDetails(JsonWriter& json, const TGeneralAudioFile& file);
void WriteWmaDetails(JsonWriter& json, const TGeneralAudioFile& file);
