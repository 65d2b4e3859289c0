#pragma once
// What the simulator connection asks of the model data base about the user aircraft's model.
// The data base above answers them (liveries/model_classes.cpp); declared here so that the
// connection needs nothing above it.

#include <cstdint>
#include <string_view>

// The AcCategory 0..5 of a model: the first of large (2), heavy (3), buzjet (1), rotorcraft (5)
// and high performance (4) that lists it; 0 for any other code, also the empty one.
std::int32_t gf_modelSizeClass(std::string_view modelCode);

// Half wingspan in nautical miles: the data base's value for the model, else the average of its
// size class.
double gf_wingspanOf(std::string_view modelCode);
// The largest half wingspan of the data base, nautical miles: the default for a model that
// nobody knows; 0.0 while no data base has been read.
double gf_maxHalfWingspan();
