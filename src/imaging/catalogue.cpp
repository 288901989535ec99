#include "imaging/catalogue.h"

namespace imaging::catalogue {

void registerAll(std::vector<FilterDescription> &out)
{
    registerGeometry(out);
    registerDistortion(out);
    registerHalftone(out);
    registerFocus(out);
    registerStylize(out);
    registerGradient(out);
    registerColor(out);
    registerTile(out);
    registerGenerator(out);
    registerCompositing(out);
    registerTransition(out);
}

} // namespace imaging::catalogue
