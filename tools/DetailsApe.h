// The Details keys shared by the five APE-tagged types.
#pragma once

#include "Apev2Tags.h"
#include "Json.h"

// ContainsHeader, ID3v1Present, the tag sizes, Comment and Items.
void WriteApeSharedDetails(JsonWriter& json, const TBaseApeFile& file);
