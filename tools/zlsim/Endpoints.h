// Where the simulator serves a line: the configured gateway endpoints of a
// parameter file mapped to the ports (and addresses) really served, and the
// file's text rewritten to point at them.
#ifndef ZL_ZLSIM_ENDPOINTS_H
#define ZL_ZLSIM_ENDPOINTS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zl::sim {

// Where one configured gateway endpoint is really served.
struct EndpointMapping {
  std::string ConfiguredIp;
  uint16_t ConfiguredPort = 0;
  std::string ActualIp;
  uint16_t ActualPort = 0;
};

// Rewrites the PORT value of every [STATION] section of a parameter file's
// text whose endpoint appears in the mappings, and its IP text when the
// mapping serves it on another address. Everything else, comments and line
// ends included, is kept byte for byte. A mapping with an empty ConfiguredIp
// matches its port whatever the section's IP.
std::string RewriteEndpoints(std::string_view text, const std::vector<EndpointMapping> &mappings);

}  // namespace zl::sim

#endif  // ZL_ZLSIM_ENDPOINTS_H
