// Failures the host reports to the user: one clear line each.
#pragma once

#include <stdexcept>
#include <string>

namespace quillon::filterhost {

class HostFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace quillon::filterhost
