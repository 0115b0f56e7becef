// Handing web addresses to the desktop's browser.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace frame::shell {

// Starts `program` with `args` (no shell involved); true if it started.
using Launcher = std::function<bool(const std::string& program, const std::vector<std::string>& args)>;

// Replaces the launcher (tests record launches instead of starting browsers).
// An empty function restores the real one.
void SetLauncher(Launcher launcher);

// An address without a scheme is taken as an http address.
std::string QualifyAddress(std::string_view address);

// Opens an address: the desktop's own opener first, then the browser the
// system has registered (x-www-browser, then $BROWSER). True if one started.
bool OpenAddress(std::string_view address);

}  // namespace frame::shell
