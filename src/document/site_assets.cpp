#include "document/site_assets.h"

namespace lexiform {

const std::vector<SiteAsset>& SiteStaticAssets() {
  static const std::vector<SiteAsset> assets = {{"site.css", ""}, {"site.js", ""}};
  return assets;
}

std::string SiteSearchData(const std::vector<SiteSearchEntry>&) { return {}; }

} // namespace lexiform
