// Enumerations whose values have printable names are written once, as a
// list macro that calls X(name) for each value in order. The enum is made
// with QUAV_ENUM_VALUE and its name table with QUAV_ENUM_NAME, so the two
// cannot drift apart.
#pragma once

#define QUAV_ENUM_VALUE(name) name,
#define QUAV_ENUM_NAME(name) #name,
