// A filter's look as an abstract ICC profile: a lattice of Lab colours in the order of the
// profile's colour lookup table, filtered like any Lab picture, then written as the table of a
// Lab-to-Lab profile that colour-managed programs apply without assuming a colour space.
#pragma once

#include "core/documents/Document.h"

#include <filesystem>
#include <string>

namespace quillon::filterhost {

// A 16-bit Lab document of size³ pixels (size² wide): the grid points of a size-point colour
// lookup table in the order LittleCMS samples them, on the host's Lab scale.
Document MakeLabLattice(int size);

// Writes a filtered MakeLabLattice(size) as an ICC v4 abstract profile with Lab on both sides,
// the look in its AToB0 table. Whole or not at all; throws HostFailure.
void WriteLabProfile(const Document& lattice, int size, const std::string& description,
                     const std::filesystem::path& file);

} // namespace quillon::filterhost
