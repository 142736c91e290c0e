#pragma once
// Random small timelines as project documents, shaped to reach the gap scan's corners: touching,
// overlapping and nested items, holes, zero- and negative-length items, items lacking a start
// or an end, scrapped layers (scrap before or after the items), layers without a scrap entry,
// audio and filter running past the last picture, and nodes that are not layers.

#include <random>
#include <string>

namespace kestrova {

std::string RandomTimelineDocument(std::mt19937& random);

} // namespace kestrova
