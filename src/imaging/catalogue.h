#pragma once

#include <vector>

#include "imaging/filterdescription.h"

namespace imaging::catalogue {

// The built-in filters, one file per group; each appends its declarations.
void registerAll(std::vector<FilterDescription> &out);

void registerGeometry(std::vector<FilterDescription> &out);
void registerDistortion(std::vector<FilterDescription> &out);
void registerHalftone(std::vector<FilterDescription> &out);
void registerFocus(std::vector<FilterDescription> &out);
void registerStylize(std::vector<FilterDescription> &out);
void registerGradient(std::vector<FilterDescription> &out);
void registerColor(std::vector<FilterDescription> &out);
void registerTile(std::vector<FilterDescription> &out);
void registerGenerator(std::vector<FilterDescription> &out);
void registerCompositing(std::vector<FilterDescription> &out);
void registerTransition(std::vector<FilterDescription> &out);

} // namespace imaging::catalogue
