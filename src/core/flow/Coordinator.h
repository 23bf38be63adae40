#pragma once

#include <memory>
#include <vector>

namespace keln {
namespace uikit {
class NavigationController;
}

// Something that starts screens in a navigation controller of its own. Main thread only.
class Coordinator {
 public:
  virtual ~Coordinator() = default;

  virtual std::vector<std::shared_ptr<Coordinator>>& childCoordinators() = 0;
  virtual void setChildCoordinators(std::vector<std::shared_ptr<Coordinator>> coordinators) = 0;

  virtual const std::shared_ptr<uikit::NavigationController>& navigationController() const = 0;
  virtual void setNavigationController(std::shared_ptr<uikit::NavigationController> controller) = 0;
};

}  // namespace keln
