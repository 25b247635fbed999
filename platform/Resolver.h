#pragma once
// Every IPv4 address of a host name. A file server known by name may answer on several
// addresses; an upload remembers the one it used, so each must be recognised later.

#include <string>
#include <vector>

namespace vx {

// The IPv4 addresses of name in dotted notation, in the resolver's order and without
// repeats; a dotted address gives itself. Empty when the name does not resolve.
std::vector<std::string> ResolveHostAll(const std::string& name);

} // namespace vx
